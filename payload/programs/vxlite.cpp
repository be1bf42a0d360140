// The product's main program, reduced to what the setup depends on: a main
// window of the class the setup looks for, showing where the program runs
// from, the settings the setup wrote and the project it was asked to open.
// A project path arrives on the command line or, from the launcher, in a
// WM_COPYDATA message.
#include <windows.h>

#include <algorithm>
#include <string>

#include "common/product.h"
#include "product_view.h"
#include "program_support.h"
#include "common/system.h"

namespace {

using namespace vx;
using namespace vx::programs;

constexpr DWORD kMaxProjectPathBytes = 32768;
constexpr wchar_t kMainWindowClass[] = L"TKesVXMainMDIFrm";  // kProductWindowClassName
static_assert(sizeof kMainWindowClass / sizeof(wchar_t) == sizeof kProductWindowClassName);

// The window's texts are Windows-1252. The main window is a Unicode window
// given its title already converted: Wine's WoW64 mode garbles a non-ASCII
// title passed to a 32-bit CreateWindowExA.
std::wstring Wide(const std::string& text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

struct MainWindow {
  std::string folder;
  HWND window = nullptr;
  HWND view = nullptr;
};

// Shows the text in a read-only edit control made for it. The control is made
// anew with its text rather than given a new one: the 32-bit edit control of
// Wine's WoW64 mode faults when its text changes after creation.
bool ShowProject(MainWindow& state, const std::string& project) {
  RECT client{};
  GetClientRect(state.window, &client);
  HWND view = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", DescribeProduct(state.folder, project).c_str(),
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
          ES_AUTOVSCROLL | ES_AUTOHSCROLL,
      0, 0, client.right, client.bottom, state.window, nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(state.window, GWLP_HINSTANCE)), nullptr);
  if (!view) return false;
  SendMessageA(view, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
  if (state.view) DestroyWindow(state.view);
  state.view = view;
  return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_SIZE:
      if (state && state->view) {
        MoveWindow(state->view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      }
      return 0;
    case WM_SETFOCUS:
      if (state && state->view) SetFocus(state->view);
      return 0;
    case WM_COPYDATA: {
      // A project handed over by the launcher: show it and come to the front.
      auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!state || !data || data->dwData != kOpenProjectDataCode || !data->lpData ||
          data->cbData == 0 || data->cbData > kMaxProjectPathBytes) {
        return FALSE;
      }
      std::string path(static_cast<const char*>(data->lpData), data->cbData);
      path.resize(std::min(path.size(), path.find('\0')));  // sent with its terminator
      if (!ShowProject(*state, path)) return FALSE;
      if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
      SetForegroundWindow(window);
      return TRUE;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  vx::RestrictDllSearchToSystemFolder();
  MainWindow state;
  state.folder = FolderOf(OwnPath());
  std::string project = SingleArgument(ArgumentsAfterProgram(GetCommandLineA()));

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&windowClass)) return 1;

  HWND window = CreateWindowExW(0, kMainWindowClass, Wide(kProductTitle).c_str(),
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 480,
                                nullptr, nullptr, instance, &state);
  if (!window) return 1;
  state.window = window;
  if (!ShowProject(state, project)) {
    DestroyWindow(window);
    return 1;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
