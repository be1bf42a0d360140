#include "wizard_test_support.h"

#include <commctrl.h>
#include <winioctl.h>

#include <cstring>

#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"

namespace vx::test {

int ScriptedInteraction::ShowBox(HWND owner, const std::string& text, BoxKind kind) {
  boxes.push_back(Box{text, kind, owner});
  if (whileOpen) whileOpen(text);
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected box: " << text;
    return IDCANCEL;
  }
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedInteraction::BrowseForFolder(HWND, const std::string& title, std::string& folder) {
  browseTitles.push_back(title);
  if (folders.empty()) {
    ADD_FAILURE() << "unexpected folder dialog";
    return false;
  }
  std::optional<std::string> answer = folders.front();
  folders.pop_front();
  if (!answer) return false;
  folder = *answer;
  return true;
}

void ScriptedInteraction::OpenWithShell(const std::string& target) {
  opened.push_back(target);
}

void Pump(TfrmInstVXLite& window) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (window.TranslateKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::string WindowText(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

bool Visible(HWND window) { return window && IsWindowVisible(window); }
bool Enabled(HWND window) { return window && IsWindowEnabled(window); }

RECT RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

COLORREF PaintedTextColor(HWND control) {
  HDC dc = GetDC(control);
  ::SetTextColor(dc, RGB(1, 2, 3));
  SendMessageA(GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(control));
  const COLORREF color = GetTextColor(dc);
  ReleaseDC(control, dc);
  return color;
}

HIMAGELIST ButtonGlyph(HWND button) {
  BUTTON_IMAGELIST glyph{};
  if (!SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&glyph))) {
    return nullptr;
  }
  return glyph.himl;
}

namespace {
struct TooltipSearch {
  HWND owner;
  HWND found;
};
BOOL CALLBACK FindTooltip(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TooltipSearch*>(data);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && GetWindow(window, GW_OWNER) == search->owner) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

std::string ToolTipText(HWND wizard, HWND control) {
  TooltipSearch search{wizard, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return std::string();
  char text[512] = {};
  TTTOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  SendMessageA(search.found, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  return text;
}

void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

void WizardTest::SetUp() {
  RegistryAndFilesTest::SetUp();
}

std::unique_ptr<TfrmInstVXLite> WizardTest::MakeWizard(HMODULE resources, HWND otherSetup) {
  WizardOptions options;
  options.interaction = &script_;
  options.resources = resources;
  options.otherSetupWindow = otherSetup;
  return TfrmInstVXLite::Create(options);
}

std::unique_ptr<TfrmInstVXLite> WizardTest::OpenWizard() {
  std::unique_ptr<TfrmInstVXLite> wizard = MakeWizard();
  if (!wizard) return wizard;
  wizard->Show();
  Pump(*wizard);
  return wizard;
}

void WizardTest::GoToFolderPage(TfrmInstVXLite& wizard) {
  Click(wizard.Control(Ctl::btnNext));
  Click(wizard.Control(Ctl::cbEULA));
  Click(wizard.Control(Ctl::btnNext));
  Pump(wizard);
  ASSERT_EQ(wizard.PageIndex(), 2);
}

char FreeDriveLetter() {
  const DWORD used = GetLogicalDrives();
  for (char letter = 'Q'; letter <= 'Y'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (!(used & (1u << (letter - 'A'))) && GetDriveTypeA(root.c_str()) == DRIVE_NO_ROOT_DIR) {
      return letter;
    }
  }
  return 0;
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

TestRunLog::TestRunLog(const std::string& folder) {
  char tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
  GetEnvironmentVariableA("TEMP", temp, sizeof temp);
  SetEnvironmentVariableA("TMP", folder.c_str());
  SetEnvironmentVariableA("TEMP", folder.c_str());
  StartRunLog(kSetupLogTitle);
  path_ = RunLogPath();
  SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
  SetEnvironmentVariableA("TEMP", temp[0] ? temp : nullptr);
  EXPECT_EQ(path_.rfind(folder + "\\", 0), 0u) << path_;
}

TestRunLog::~TestRunLog() { StopRunLog(); }

std::string TestRunLog::Text() {
  StopRunLog();
  std::string text;
  EXPECT_TRUE(ReadFileBytes(path_, text)) << path_;
  return text;
}

namespace {

// Wine's mount manager request that defines or removes a drive letter (the
// one its configuration tool uses): a drive with neither mount point nor
// device is removed.
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct UnixDriveRequest {
  ULONG size;
  ULONG type;
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};

bool DefineUnixDrive(char letter, UINT type, const std::string& unixPath) {
  FileHandle manager(CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
  if (!manager) return false;
  std::string buffer(sizeof(UnixDriveRequest) + unixPath.size() + 1, '\0');
  UnixDriveRequest request{};
  request.size = static_cast<ULONG>(buffer.size());
  request.type = type;
  request.letter = static_cast<WCHAR>(letter - 'A' + 'a');
  if (!unixPath.empty()) request.mountPointOffset = sizeof(UnixDriveRequest);
  std::memcpy(buffer.data(), &request, sizeof request);
  std::memcpy(buffer.data() + sizeof request, unixPath.c_str(), unixPath.size());
  DWORD returned = 0;
  return DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(),
                         static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) != 0;
}

std::string UnixPathOf(const std::string& folder) {
  using UnixNameFn = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return std::string();
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
  char* name = unixName(wide);
  if (!name) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

}  // namespace

WineDrive::WineDrive(const std::string& folder, UINT driveType) {
  if (!RunningUnderWine()) return;
  const std::string unixPath = UnixPathOf(folder);
  const char letter = FreeDriveLetter();
  if (unixPath.empty() || !letter) return;
  if (DefineUnixDrive(letter, driveType, unixPath)) letter_ = letter;
}

WineDrive::~WineDrive() {
  if (letter_) DefineUnixDrive(letter_, DRIVE_NO_ROOT_DIR, std::string());
}

}  // namespace vx::test
