// Entry point of the setup program.
#include <windows.h>

#include "common/handles.h"
#include "common/product.h"

namespace {

LRESULT CALLBACK WizardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  vx::ComApartment apartment(COINIT_APARTMENTTHREADED);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WizardWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = vx::kWizardClassName;
  if (!RegisterClassA(&windowClass)) return 0;
  HWND window = CreateWindowExA(0, vx::kWizardClassName, vx::kWindowCaption,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 596, 426, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 0;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
