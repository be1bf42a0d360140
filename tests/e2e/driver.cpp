// End-to-end driver: starts the real setup executable and works it as a user
// would, from another process. It finds the wizard by its class and the
// controls by their texts, clicks with posted BM_CLICK, types into the folder
// field with WM_SETTEXT, reads and answers the message boxes (#32770) and then
// checks what the run left on the machine.
//
// Usage: vx_e2e_driver <scenario> <SetupVXLite.exe> [scenario arguments]
// The last line says "E2E PASSED <scenario>" or "E2E FAILED <scenario>: why".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/handles.h"
#include "common/product.h"
#include "install/install_thread.h"

namespace {

using namespace vx;

constexpr DWORD kStepTimeoutMs = 20000;
constexpr int kBoxTextId = 0xFFFF;  // the message text of a message box

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Require(bool condition, const std::string& what) {
  if (!condition) throw Failure(what);
}

void Note(const std::string& line) { std::printf("  %s\n", line.c_str()); std::fflush(stdout); }

// Keeps this process's own windows answering while it waits.
void PumpOwnMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Polls probe until it gives a non-empty answer; fails after the timeout.
template <class Probe>
auto WaitFor(const std::string& what, Probe probe, DWORD timeoutMs = kStepTimeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    auto answer = probe();
    if (answer) return answer;
    if (GetTickCount64() - start > timeoutMs) throw Failure("timed out waiting for " + what);
    PumpOwnMessages();
    Sleep(25);
  }
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The text of a window of another process (GetWindowText would not ask it).
std::string TextOf(HWND window) {
  char text[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return {};
  }
  return std::string(text, copied);
}

std::vector<HWND> TopWindowsOf(DWORD processId, const char* className) {
  struct Search {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
  } search{processId, className, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == search.processId && IsWindowVisible(window) &&
            ClassOf(window) == search.className) {
          search.found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The first shown control of the window that matches (or null).
HWND ShownChild(HWND parent, const std::function<bool(HWND)>& matches) {
  struct Search {
    const std::function<bool(HWND)>& matches;
    HWND found;
  } search{matches, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        if (IsWindowVisible(child) && search.matches(child)) {
          search.found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A shown control whose text is exactly text.
HWND ShownControl(HWND parent, const std::string& text) {
  return ShownChild(parent, [&](HWND child) { return TextOf(child) == text; });
}

HWND ShownControlOfClass(HWND parent, const char* className) {
  return ShownChild(parent, [&](HWND child) { return ClassOf(child) == className; });
}

// ---------------------------------------------------------------- the setup process

class SetupRun {
 public:
  SetupRun(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + exe + "\"";
    Require(CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info) != FALSE,
            "the setup cannot be started: error " + std::to_string(GetLastError()));
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    id_ = info.dwProcessId;
  }
  ~SetupRun() {  // a failed scenario leaves no setup behind
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 99);
      WaitForSingleObject(process_.get(), 5000);
    }
  }
  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

  DWORD Id() const { return id_; }
  bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

  HWND Wizard() const {
    const std::vector<HWND> windows = TopWindowsOf(id_, kWizardClassName);
    return windows.empty() ? nullptr : windows.front();
  }
  HWND WaitForWizard() const {
    return WaitFor("the wizard window", [&] { return Wizard(); });
  }
  HWND Box() const {
    const std::vector<HWND> boxes = TopWindowsOf(id_, "#32770");
    return boxes.empty() ? nullptr : boxes.front();
  }

  // Waits until the wizard shows a control with this text.
  HWND WaitForText(const std::string& text, DWORD timeoutMs = kStepTimeoutMs) const {
    return WaitFor(
        "\"" + text + "\" on the wizard",
        [&]() -> HWND {
          HWND wizard = Wizard();
          return wizard ? ShownControl(wizard, text) : nullptr;
        },
        timeoutMs);
  }
  bool Shows(const std::string& text) const {
    HWND wizard = Wizard();
    return wizard && ShownControl(wizard, text);
  }

  // Clicks a shown, enabled button of the wizard as the mouse would.
  void Click(const std::string& text) const {
    HWND button = WaitFor("an enabled \"" + text + "\"", [&]() -> HWND {
      HWND found = Wizard() ? ShownControl(Wizard(), text) : nullptr;
      return found && IsWindowEnabled(found) ? found : nullptr;
    });
    Require(PostMessageA(button, BM_CLICK, 0, 0) != FALSE, "click on \"" + text + "\" not posted");
  }

  // Waits for a message box, checks its text and presses the button of the
  // given id (IDOK, IDYES, IDNO ...); the box must then go away.
  void AnswerBox(const std::string& expected, int buttonId) const {
    HWND box = WaitFor("a message box \"" + expected + "\"", [&] { return Box(); });
    const std::string shown = TextOf(GetDlgItem(box, kBoxTextId));
    Require(shown == expected, "the box says \"" + shown + "\", expected \"" + expected + "\"");
    HWND button = GetDlgItem(box, buttonId);
    Require(button != nullptr, "the box has no button " + std::to_string(buttonId));
    PostMessageA(button, BM_CLICK, 0, 0);
    WaitFor("the box to close", [&] { return !IsWindow(box) || !IsWindowVisible(box); });
    Note("box answered: " + shown);
  }

  // Waits for the process to end and requires exit code 0.
  void WaitForCleanExit(DWORD timeoutMs = kStepTimeoutMs) const {
    Require(WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0,
            "the setup did not end");
    DWORD code = 1;
    GetExitCodeProcess(process_.get(), &code);
    Require(code == 0, "the setup ended with exit code " + std::to_string(code));
  }

 private:
  KernelHandle process_;
  DWORD id_ = 0;
};

// ---------------------------------------------------------------- the machine

HKEY OpenProductKey(HKEY root, const char* path) {
  HKEY key = nullptr;
  const REGSAM view = root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

bool KeyExists(HKEY root, const char* path) {
  HKEY key = OpenProductKey(root, path);
  if (key) RegCloseKey(key);
  return key != nullptr;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsFolder() {
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

// Nothing of the product is on the machine: no folder, record, log or uninstaller.
void RequireNothingInstalled(const std::string& installFolder) {
  Require(!PathExists(installFolder), "the install folder exists: " + installFolder);
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "an uninstall record exists");
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[1]), "product settings exist");
  Require(!PathExists(WindowsFolder() + kLogFileInWindows), "an install log exists");
  Require(!PathExists(WindowsFolder() + "\\" + kUninstallExeName), "an uninstaller exists");
}

std::string DefaultInstallFolder() {
  char folder[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", folder, MAX_PATH);
  return std::string(folder) + "\\" + kDefaultFolderName;
}

// Goes forward from page 1 to the given page (1 to 3).
void GoToPage(const SetupRun& setup, int page) {
  setup.WaitForText(text::kWelcome);
  if (page < 2) return;
  setup.Click(text::kNext);
  setup.WaitForText(text::kAcceptEula);
  if (page < 3) return;
  setup.Click(text::kAcceptEula);
  setup.Click(text::kNext);
  setup.WaitForText(text::kSelectFolder);
}

// Cancels from the current page: a "No" keeps the wizard where it was, a
// "Yes" ends it with exit code 0.
void CancelHere(const SetupRun& setup, const std::string& pageText) {
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDNO);
  Require(setup.Running() && setup.Shows(pageText), "a No to the abort question left the page");
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.WaitForCleanExit();
}

// The wizard says it cannot go on and offers only "&Close".
void RequireBlocked(const SetupRun& setup) {
  HWND wizard = setup.WaitForText(text::kCannotProceed) ? setup.Wizard() : nullptr;
  Require(ShownControl(wizard, text::kClose) != nullptr, "no \"&Close\" button");
  for (const char* hidden : {text::kNext, text::kBack, text::kInstall, text::kExit}) {
    Require(ShownControl(wizard, hidden) == nullptr,
            std::string("a blocked wizard still shows \"") + hidden + "\"");
  }
  setup.Click(text::kClose);
  setup.WaitForCleanExit();
}

// ---------------------------------------------------------------- scenarios

using Arguments = std::vector<std::string>;

// A second copy started while the first shows its wizard ends silently with
// exit code 0; the first keeps its window and its page.
void SecondCopy(const std::string& exe, const Arguments&) {
  SetupRun first(exe);
  HWND wizard = first.WaitForWizard();
  GoToPage(first, 2);
  SetupRun second(exe);
  second.WaitForCleanExit();
  Require(!second.Box(), "the second copy left a box");
  Require(first.Running() && first.Wizard() == wizard, "the first wizard is gone");
  Require(first.Shows(text::kAcceptEula) && !first.Box(), "the first wizard changed");
  Require(TopWindowsOf(first.Id(), kWizardClassName).size() == 1, "more than one wizard shown");
  Note("second copy ended with 0; the first stays on its page");
  CancelHere(first, text::kAcceptEula);
  RequireNothingInstalled(DefaultInstallFolder());
}

// The uninstall record of an earlier install blocks the wizard.
void AlreadyInstalled(const std::string& exe, const Arguments&) {
  HKEY key = nullptr;
  Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                          KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "the uninstall record cannot be made");
  RegCloseKey(key);
  SetupRun setup(exe);
  setup.AnswerBox(text::kAlreadyInstalled, IDOK);
  RequireBlocked(setup);
  Require(!PathExists(DefaultInstallFolder()), "a blocked setup made the install folder");
}

LRESULT CALLBACK ProductWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcA(window, message, w, l);
}

// A hidden window of the product's class, standing for the running product
// (the setup looks for the class, shown or not).
class ProductWindow {
 public:
  ProductWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ProductWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kProductWindowClassName;
    RegisterClassA(&windowClass);  // already there on a second use
    window_ = CreateWindowExA(0, kProductWindowClassName, "product", WS_OVERLAPPEDWINDOW, 0, 0,
                              200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Require(window_ != nullptr, "the product's window cannot be made");
  }
  ~ProductWindow() { DestroyWindow(window_); }
  ProductWindow(const ProductWindow&) = delete;
  ProductWindow& operator=(const ProductWindow&) = delete;

 private:
  HWND window_ = nullptr;
};

void ProductRunning(const std::string& exe, const Arguments&) {
  {
    ProductWindow product;
    SetupRun setup(exe);
    setup.AnswerBox(text::kAlreadyRunning, IDOK);
    RequireBlocked(setup);
  }
  RequireNothingInstalled(DefaultInstallFolder());
}

// Cancel on each of pages 1 to 3: No keeps the page, Yes leaves nothing.
void CancelPages(const std::string& exe, const Arguments&) {
  const char* pageTexts[] = {text::kWelcome, text::kAcceptEula, text::kSelectFolder};
  for (int page = 1; page <= 3; ++page) {
    SetupRun setup(exe);
    GoToPage(setup, page);
    CancelHere(setup, pageTexts[page - 1]);
    RequireNothingInstalled(DefaultInstallFolder());
    Note("cancelled on page " + std::to_string(page));
  }
}

// Types a folder into page 3's folder field.
void TypeFolder(const SetupRun& setup, const std::string& folder) {
  HWND field = ShownControlOfClass(setup.Wizard(), "Edit");
  Require(field != nullptr, "no folder field on page 3");
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  Require(TextOf(field) == folder, "the folder field did not take the text");
}

// Folders on drives the setup must refuse: each argument is
// "<letter>=<reason text id>" with the ids "cdrom" and "nodrive".
void RefusedFolders(const std::string& exe, const Arguments& drives) {
  Require(!drives.empty(), "no drive letters given");
  SetupRun setup(exe);
  GoToPage(setup, 3);
  for (const std::string& drive : drives) {
    const std::string letter = drive.substr(0, 1);
    const std::string kind = drive.substr(2);
    const std::string reason = kind == "cdrom" ? text::kCdromDrive : text::kNoRootDirectory;
    const std::string folder = letter + ":\\" + kDefaultFolderName;
    TypeFolder(setup, folder);
    setup.Click(text::kInstall);
    setup.AnswerBox(std::string(text::kFolderErrorStart) + folder + "\r" +
                        text::kFolderErrorMiddle + "\r" + reason,
                    IDOK);
    Require(setup.Shows(text::kSelectFolder), "a refused folder left page 3");
    Require(!PathExists(folder), "the refused folder was made");
  }
  CancelHere(setup, text::kSelectFolder);
  RequireNothingInstalled(DefaultInstallFolder());
}

// ---------------------------------------------------------------- timing

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Starts a program of the system (no window of the driver's own); the owner
// of the returned handle waits for it or ends it.
KernelHandle StartSystemProgram(const char* command, DWORD* processId = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = command;
  Require(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &info) != FALSE,
          std::string("cannot start ") + command);
  CloseHandle(info.hThread);
  if (processId) *processId = info.dwProcessId;
  return KernelHandle(info.hProcess);
}

// Time from starting the setup to its first page being shown (median of the
// runs given as the argument, default 5), beside two plain programs of Wine
// itself started in the same run: cmd /c exit 0 (start and end) and
// notepad (start to its window shown).
void StartTime(const std::string& exe, const Arguments& arguments) {
  const int runs = arguments.empty() ? 5 : std::max(1, std::atoi(arguments[0].c_str()));
  // The probe reads the texts the system keeps for the controls
  // (GetWindowText asks no other process), so it adds no waiting of its own.
  auto shownText = [](HWND window, const char* text) {
    return window && ShownChild(window, [text](HWND child) {
             char shown[256] = {};
             GetWindowTextA(child, shown, sizeof shown);
             return std::strcmp(shown, text) == 0;
           });
  };
  auto pollUntil = [](const char* what, auto done) {
    const ULONGLONG limit = GetTickCount64() + kStepTimeoutMs;
    while (!done()) {
      Require(GetTickCount64() < limit, std::string("timed out waiting for ") + what);
      Sleep(2);
    }
  };
  std::vector<double> wizard, bare, notepad;
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    {
      SetupRun setup(exe);
      pollUntil("the first page", [&] { return shownText(setup.Wizard(), text::kWelcome); });
      wizard.push_back(MillisecondsSince(start));
      CancelHere(setup, text::kWelcome);
    }

    QueryPerformanceCounter(&start);
    KernelHandle cmd = StartSystemProgram("cmd.exe /c exit 0");
    WaitForSingleObject(cmd.get(), kStepTimeoutMs);
    bare.push_back(MillisecondsSince(start));

    QueryPerformanceCounter(&start);
    DWORD notepadId = 0;
    KernelHandle editor = StartSystemProgram("notepad.exe", &notepadId);
    HWND editorWindow = nullptr;
    pollUntil("notepad's window", [&] {
      const std::vector<HWND> windows = TopWindowsOf(notepadId, "Notepad");
      editorWindow = windows.empty() ? nullptr : windows.front();
      return editorWindow != nullptr;
    });
    notepad.push_back(MillisecondsSince(start));
    PostMessageA(editorWindow, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(editor.get(), kStepTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(editor.get(), 1);
    }
  }
  std::printf("setup start to first page: median %.0f ms over %d runs\n", Median(wizard), runs);
  std::printf("cmd /c exit 0, start to end: median %.0f ms over %d runs\n", Median(bare), runs);
  std::printf("notepad, start to its window shown: median %.0f ms over %d runs\n",
              Median(notepad), runs);
}

// ---------------------------------------------------------------- install runs

constexpr DWORD kInstallTimeoutMs = 120000;
constexpr ULONGLONG kDosTimeStep = 2 * 10000000ULL;  // 2 s in FILETIME units

// The payload folder as the driver sees it: a Unix path is reached through
// Wine's Z: drive.
std::string PayloadFolder(const Arguments& arguments) {
  Require(!arguments.empty(), "no payload folder given");
  std::string folder = arguments[0];
  if (!folder.empty() && folder[0] == '/') {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = "Z:" + folder;
  }
  Require(PathExists(folder), "the payload folder is missing: " + folder);
  return folder;
}

std::string Lowercase(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::string ReadBytes(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr));
  Require(static_cast<bool>(file), "cannot open " + path);
  LARGE_INTEGER size{};
  Require(GetFileSizeEx(file.get(), &size) != FALSE, "no size of " + path);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  Require(bytes.empty() || (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &read, nullptr) &&
                            read == bytes.size()),
          "cannot read " + path);
  return bytes;
}

ULONGLONG LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  Require(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != FALSE,
          "no attributes of " + path);
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// Every file under folder, as "\relative\path", sorted without case.
std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  std::function<void(const std::string&)> walk = [&](const std::string& relative) {
    WIN32_FIND_DATAA found{};
    FindHandle find(FindFirstFileA((folder + relative + "\\*").c_str(), &found));
    if (!find) return;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        walk(relative + "\\" + name);
      } else {
        files.push_back(relative + "\\" + name);
      }
    } while (FindNextFileA(find.get(), &found));
  };
  walk("");
  std::sort(files.begin(), files.end(),
            [](const std::string& a, const std::string& b) { return Lowercase(a) < Lowercase(b); });
  return files;
}

std::optional<std::string> ReadString(HKEY root, const std::string& path, const char* name) {
  RegKey key(OpenProductKey(root, path.c_str()));
  if (!key) return std::nullopt;
  char data[2048] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::string(data);
}

std::optional<DWORD> ReadInteger(HKEY root, const std::string& path, const char* name) {
  RegKey key(OpenProductKey(root, path.c_str()));
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (!key || RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

void RequireString(HKEY root, const std::string& path, const char* name,
                   const std::string& expected) {
  const std::optional<std::string> value = ReadString(root, path, name);
  Require(value == expected, path + " \"" + name + "\" is \"" + value.value_or("(missing)") +
                                 "\", expected \"" + expected + "\"");
}

std::string SpecialFolder(int csidl) {
  char folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return folder;
}

bool FolderThere(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return !folder.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The link files a successful install makes on this machine: program group
// and desktop (all users where those folders exist), and one in each Quick
// Launch folder that exists.
std::vector<std::string> ExpectedLinks() {
  auto folderOr = [](int csidl, int fallback) {
    const std::string folder = SpecialFolder(csidl);
    return FolderThere(folder) ? folder : SpecialFolder(fallback);
  };
  const std::string name = std::string("\\") + kLinkName + kLinkFileExtension;
  std::vector<std::string> links = {
      folderOr(CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS) + "\\" + kProgramGroupName + name,
      folderOr(CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY) + name};
  for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA}) {
    const std::string quickLaunch = SpecialFolder(csidl) + kQuickLaunchSubpath;
    if (FolderThere(quickLaunch)) links.push_back(quickLaunch + name);
  }
  return links;
}

// The target of a link file, read back through the shell's link object.
std::string LinkTarget(const std::string& file) {
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> persist;
  Require(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, link.put_void())) &&
              SUCCEEDED(link.As(IID_IPersistFile, persist)),
          "no shell link object");
  const std::wstring wide(file.begin(), file.end());
  Require(SUCCEEDED(persist->Load(wide.c_str(), STGM_READ)), "the link cannot be read: " + file);
  char target[MAX_PATH * 2] = {};
  link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
  return target;
}

std::string OpenCommand(const std::string& folder, const char* exe) {
  return "\"" + folder + "\\" + exe + "\" \"%1\"";
}

std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

// Everything a complete install leaves, checked against the payload it came
// from: the files (bytes and dates), the uninstaller moved to the Windows
// folder, the registry entries, the install log and the links.
void RequireInstalled(const std::string& folder, const std::string& payload) {
  const std::string uninstaller = std::string("\\") + kUninstallExeName;
  std::vector<std::string> expected = FilesUnder(payload);
  expected.erase(std::remove_if(expected.begin(), expected.end(),
                                [&](const std::string& file) {
                                  return Lowercase(file) == uninstaller;
                                }),
                 expected.end());
  const std::vector<std::string> installed = FilesUnder(folder);
  Require(installed.size() == expected.size(),
          "the install folder holds " + std::to_string(installed.size()) + " files, the payload " +
              std::to_string(expected.size()) + " (without the uninstaller)");
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string& file = expected[i];
    Require(Lowercase(installed[i]) == Lowercase(file), "installed " + installed[i] + ", not " + file);
    Require(ReadBytes(folder + file) == ReadBytes(payload + file), "bytes differ: " + file);
    const ULONGLONG made = LastWriteTime(folder + file);
    const ULONGLONG source = LastWriteTime(payload + file);
    Require((made > source ? made - source : source - made) < kDosTimeStep, "date differs: " + file);
  }
  const std::string windows = WindowsFolder();
  Require(ReadBytes(windows + uninstaller) == ReadBytes(payload + "\\UninstallVXLite.exe"),
          "the uninstaller in the Windows folder is not the payload's");
  Note(std::to_string(expected.size()) + " files match the payload in bytes and dates");

  RequireString(HKEY_CLASSES_ROOT, kProjectExtension, "", kProjectTypeName);
  RequireString(HKEY_CLASSES_ROOT, kProjectExtensionCommandKey, "",
                OpenCommand(folder, kLauncherExeName));
  RequireString(HKEY_CLASSES_ROOT, kApplicationsKey, kFriendlyAppNameValue, kFriendlyAppName);
  RequireString(HKEY_CLASSES_ROOT, kApplicationCommandKey, "",
                OpenCommand(folder, kProductExeName));
  RequireString(HKEY_CURRENT_USER,
                std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension + "\\" +
                    kUserChoiceKey,
                kUserChoiceProgidValue, kApplicationsKey);
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", kUninstallDisplayName);
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", kSetupFileVersion);
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", folder);
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", windows + uninstaller);
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallDate", Today());
  Require(ReadInteger(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify") == 1u, "NoModify is not 1");
  RequireString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], "OpenProject",
                folder + kProjectsSubfolder);
  Note("registry entries present");

  // Every installed file is in the log, so the uninstaller can find it.
  const std::string log = windows + kLogFileInWindows;
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA(kLogSectionDocument, kLogSectionFiles, "", value, sizeof value,
                           log.c_str());
  const int count = std::atoi(value);
  std::vector<std::string> logged;
  for (int i = 0; i < count; ++i) {
    const std::string key = kLogEntryPrefix + std::to_string(i);
    GetPrivateProfileStringA(kLogSectionFiles, key.c_str(), "", value, sizeof value, log.c_str());
    logged.push_back(Lowercase(value));
  }
  for (const std::string& file : expected) {
    Require(std::find(logged.begin(), logged.end(), Lowercase(folder + file)) != logged.end(),
            "not in the install log: " + file);
  }
  Note("install log names all " + std::to_string(expected.size()) + " files (" +
       std::to_string(count) + " entries)");

  for (const std::string& link : ExpectedLinks()) {
    Require(LinkTarget(link) == folder + "\\" + kProductExeName, "the link " + link +
                                                                    " points elsewhere");
  }
  Note(std::to_string(ExpectedLinks().size()) + " links point at the product");
}

// Nothing of an install is left, registry and links included.
void RequireNothingLeft(const std::string& folder) {
  RequireNothingInstalled(folder);
  Require(!KeyExists(HKEY_CLASSES_ROOT, kProjectExtension), "the .vx5 association is left");
  Require(!KeyExists(HKEY_CLASSES_ROOT, kApplicationsKey), "the application entry is left");
  for (const std::string& link : ExpectedLinks()) {
    Require(!PathExists(link), "a link is left: " + link);
  }
}

// Goes to page 3, checks the proposed folder and clicks "Install"; returns
// the moment of the click.
LARGE_INTEGER StartInstall(const SetupRun& setup) {
  GoToPage(setup, 3);
  const std::string proposed = TextOf(ShownControlOfClass(setup.Wizard(), "Edit"));
  Require(proposed == DefaultInstallFolder(), "page 3 proposes \"" + proposed + "\"");
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  setup.Click(text::kInstall);
  return start;
}

bool IsTicked(HWND box) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

// Leaves page 5 with "Finish", "Run ... now!" ticked or not; the setup ends with 0.
void FinishWith(const SetupRun& setup, bool runNow) {
  HWND runBox = setup.WaitForText(text::kRunNow);
  Require(IsTicked(runBox), "\"Run now\" is not ticked on page 5");
  if (!runNow) {
    PostMessageA(runBox, BM_CLICK, 0, 0);
    WaitFor("\"Run now\" to be unticked", [&] { return !IsTicked(runBox); });
  }
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
}

// Installs with the defaults and leaves page 5 without starting the product.
void InstallWithDefaults(const std::string& exe) {
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  FinishWith(setup, false);
}

// Runs the uninstall program the record names, without questions.
void UninstallSilently() {
  const std::string uninstaller = WindowsFolder() + "\\" + kUninstallExeName;
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", uninstaller);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + uninstaller + "\" " + kSilentSwitch;
  Require(CreateProcessA(uninstaller.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, nullptr, &startup, &info) != FALSE,
          "the uninstaller cannot be started");
  KernelHandle process(info.hProcess);
  CloseHandle(info.hThread);
  Require(WaitForSingleObject(process.get(), kInstallTimeoutMs) == WAIT_OBJECT_0,
          "the uninstaller did not end");
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  Require(code == static_cast<DWORD>(kUninstallExitDone),
          "the uninstaller ended with " + std::to_string(code));
  // Its helper copy deletes it once it has ended.
  WaitFor("the uninstaller to delete itself", [&] { return !PathExists(uninstaller); });
  Note("uninstalled");
}

// A JDK registered the way its own installer does, with its compiler.
void RegisterJdk(const std::string& version, const std::string& home) {
  const std::string key = std::string(kJdkRegistryKey) + "\\" + version;
  HKEY created = nullptr;
  Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                          KEY_WRITE | KEY_WOW64_32KEY, nullptr, &created,
                          nullptr) == ERROR_SUCCESS,
          "the JDK key cannot be made");
  RegKey owner(created);
  Require(RegSetValueExA(created, kJdkHomeValue, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(home.c_str()),
                         static_cast<DWORD>(home.size() + 1)) == ERROR_SUCCESS,
          "JavaHome cannot be written");
  CreateDirectoryA(home.c_str(), nullptr);
  CreateDirectoryA((home + "\\bin").c_str(), nullptr);
  FileHandle compiler(CreateFileA((home + kJdkCompilerFile).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr));
  Require(static_cast<bool>(compiler), "the JDK's compiler cannot be made");
}

HWND VisibleProductWindow() {
  HWND window = FindWindowA(kProductWindowClassName, nullptr);
  return window && IsWindowVisible(window) ? window : nullptr;
}

// The full install with the defaults and "Run ... now!" ticked: the product
// starts from the install folder. A JDK is registered, so the NOTE names
// only the wireless toolkit and the settings name the JDK.
void FullInstall(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string jdkHome = "C:\\jdk1.6.0_20";
  RegisterJdk("1.6.0_20", jdkHome);
  const std::string folder = DefaultInstallFolder();
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  Require(setup.Shows(text::kNoteCaption) && setup.Shows(text::kWtkRequirement) &&
              !setup.Shows(text::kJdkRequirement),
          "the NOTE should name the wireless toolkit only");
  RequireInstalled(folder, payload);
  RequireString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingJavaHome, jdkHome);
  RequireString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingJavaVersion,
                "1.6.0_20");
  Require(!ReadString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingRootWtk),
          "a toolkit was written though none is registered");
  Require(!VisibleProductWindow(), "the product runs before Finish");
  FinishWith(setup, true);

  HWND product = WaitFor("the product's window", VisibleProductWindow);
  DWORD productId = 0;
  GetWindowThreadProcessId(product, &productId);
  KernelHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, productId));
  Require(static_cast<bool>(process), "the product's process cannot be opened");
  char image[MAX_PATH * 2] = {};
  DWORD length = sizeof image;
  QueryFullProcessImageNameA(process.get(), 0, image, &length);
  Require(Lowercase(image) == Lowercase(folder + "\\" + kProductExeName),
          std::string("the product ran from ") + image);
  Note(std::string("the product's window is shown: ") + TextOf(product));
  PostMessageA(product, WM_CLOSE, 0, 0);
  Require(WaitForSingleObject(process.get(), kStepTimeoutMs) == WAIT_OBJECT_0,
          "the product did not close");
}

// Uninstall with the product's own uninstaller leaves nothing, and the setup
// then installs again on the same machine.
void UninstallReinstall(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string folder = DefaultInstallFolder();
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
  UninstallSilently();
  RequireNothingLeft(folder);
  Note("nothing is left after the uninstall");
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
  Note("installed again");
}

// A file of the package in use at its target (opened without sharing, as a
// running program holds its files) makes the copy fail with -333: the
// error box, page 4 stays, "Exit" closes without a question and no record or
// log is written. Once the file is free, the setup installs.
void UnpackError(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string folder = DefaultInstallFolder();
  const std::string held = folder + "\\" + kLauncherExeName;
  Require(CreateDirectoryA(folder.c_str(), nullptr) != FALSE, "the install folder cannot be made");
  {
    FileHandle inUse(CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                 nullptr));
    Require(static_cast<bool>(inUse), "the file in use cannot be made");
    SetupRun setup(exe);
    StartInstall(setup);
    char error[256];
    std::snprintf(error, sizeof error, text::kInstallErrorFormat, kUnpackCannotWrite);
    setup.AnswerBox(error, IDOK);
    Require(setup.Shows(text::kPleaseWait), "page 4 is no longer shown");
    setup.Click(text::kExit);
    setup.WaitForCleanExit();
    Require(!setup.Box(), "a question was asked");
    Require(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "an uninstall record was written");
    Require(!PathExists(WindowsFolder() + kLogFileInWindows), "an install log was written");
    Require(!KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[1]), "settings were written");
  }
  Note("the failed install wrote no record; the file is free again");
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
}

// The progress bar's position on page 4.
int ProgressPosition(const SetupRun& setup) {
  HWND bar = setup.Wizard() ? ShownControlOfClass(setup.Wizard(), PROGRESS_CLASSA) : nullptr;
  DWORD_PTR position = 0;
  if (bar) SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
  return static_cast<int>(position);
}

// Cancel during the copy (setup slowed per item): "No" lets the copy go on,
// "Yes" tells that the copied files are cleaned up, the rollback leaves
// nothing, and page 5 says the install was cancelled; "Finish" does not
// start the product.
void CancelCopy(const std::string& exe, const Arguments&) {
  const std::string folder = DefaultInstallFolder();
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kStepCopyingFiles);
  WaitFor("the copy to get going", [&] { return ProgressPosition(setup) >= 5; });
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDNO);
  const int before = ProgressPosition(setup);
  WaitFor("the copy to go on after No", [&] { return ProgressPosition(setup) > before; });
  Require(PathExists(folder), "nothing was copied");
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.AnswerBox(text::kCancelledInfo, IDOK);
  setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
  Require(!setup.Shows(text::kRunNow), "\"Run now\" is offered after a cancel");
  RequireNothingLeft(folder);
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
  Require(!VisibleProductWindow(), "the product was started after a cancel");
}

// Time from "Install" to page 5 through the wizard (median over the runs
// given after the payload, default 3, uninstalling between them), beside
// CopyFileA of the payload's files into a fresh folder.
void InstallTime(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const int runs = arguments.size() < 2 ? 3 : std::max(1, std::atoi(arguments[1].c_str()));
  std::vector<double> wizard, copy;
  for (int run = 0; run < runs; ++run) {
    {
      SetupRun setup(exe);
      const LARGE_INTEGER start = StartInstall(setup);
      setup.WaitForText(text::kFinished, kInstallTimeoutMs);
      wizard.push_back(MillisecondsSince(start));
      FinishWith(setup, false);
    }
    UninstallSilently();

    const std::string target = "C:\\plain-copy";
    const std::vector<std::string> files = FilesUnder(payload);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    CreateDirectoryA(target.c_str(), nullptr);
    for (const std::string& file : files) {
      for (size_t slash = file.find('\\', 1); slash != std::string::npos;
           slash = file.find('\\', slash + 1)) {
        CreateDirectoryA((target + file.substr(0, slash)).c_str(), nullptr);
      }
      Require(CopyFileA((payload + file).c_str(), (target + file).c_str(), FALSE) != FALSE,
              "the plain copy failed: " + file);
    }
    copy.push_back(MillisecondsSince(start));
    SHFILEOPSTRUCTA remove{};
    const std::string from = target + '\0';  // double-terminated list
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationA(&remove);
  }
  std::printf("install through the wizard, Install to page 5: median %.0f ms over %d runs\n",
              Median(wizard), runs);
  std::printf("CopyFileA of the payload's files: median %.0f ms over %d runs\n", Median(copy),
              runs);
}

// ---------------------------------------------------------------- pictures

// Asks the caller (scripts/screenshots) to photograph the given windows: one
// line "SHOT <name> <left> <top> <width> <height>" with the rectangle around
// them, then waits for any line on standard input.
void Shot(const std::string& name, std::initializer_list<HWND> windows) {
  RECT all{};
  bool first = true;
  for (HWND window : windows) {
    RECT box{};
    if (!window || !GetWindowRect(window, &box)) continue;
    if (first) {
      all = box;
      first = false;
    } else {
      UnionRect(&all, &all, &box);
    }
  }
  Sleep(400);  // the last paint reaches the display
  std::printf("SHOT %s %ld %ld %ld %ld\n", name.c_str(), all.left, all.top,
              all.right - all.left, all.bottom - all.top);
  std::fflush(stdout);
  char line[64];
  Require(std::fgets(line, sizeof line, stdin) != nullptr, "no answer to SHOT " + name);
}

// A walk through every page and state the wizard shows, with a picture of each.
void Tour(const std::string& exe, const Arguments&) {
  {
    SetupRun setup(exe);
    GoToPage(setup, 1);
    Shot("1-welcome", {setup.Wizard()});
    GoToPage(setup, 2);
    setup.Click(text::kAcceptEula);
    WaitFor("the ticked licence box", [&] { return IsWindowEnabled(ShownControl(setup.Wizard(), text::kNext)); });
    Shot("2-licence", {setup.Wizard()});
    setup.Click(text::kNext);
    setup.WaitForText(text::kSelectFolder);
    Shot("3-folder", {setup.Wizard()});
    HWND field = ShownControlOfClass(setup.Wizard(), "Edit");
    const std::string refused = "Q:\\VantorexLite";
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(refused.c_str()));
    setup.Click(text::kInstall);
    HWND box = WaitFor("the folder error box", [&] { return setup.Box(); });
    Shot("3-folder-refused", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitFor("the box to close", [&] { return !IsWindow(box); });
    setup.Click(text::kExit);
    box = WaitFor("the abort question", [&] { return setup.Box(); });
    Shot("3-abort-question", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    setup.WaitForCleanExit();
  }
  {
    ProductWindow product;
    SetupRun setup(exe);
    HWND box = WaitFor("the running-product box", [&] { return setup.Box(); });
    Shot("blocked-box", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    setup.WaitForText(text::kCannotProceed);
    Shot("blocked", {setup.Wizard()});
    setup.Click(text::kClose);
    setup.WaitForCleanExit();
  }  // Pages 4 and 5 need a setup slowed per item (SetupVXLiteSlow), or the
  // copy is over before it can be photographed.
  {
    SetupRun setup(exe);
    StartInstall(setup);
    setup.WaitForText(text::kStepCopyingFiles);
    WaitFor("the copy to get going", [&] { return ProgressPosition(setup) >= 15; });
    setup.Click(text::kExit);
    HWND box = WaitFor("the abort question", [&] { return setup.Box(); });
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    WaitFor("the question to close", [&] { return !IsWindow(box); });
    box = WaitFor("the cancel information", [&] { return setup.Box(); });
    Shot("4-cancelled-box", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
    Shot("5-cancelled", {setup.Wizard()});
    setup.Click(text::kFinish);
    setup.WaitForCleanExit();
  }
  {
    SetupRun setup(exe);
    StartInstall(setup);
    setup.WaitForText(text::kStepCopyingFiles);
    WaitFor("the copy to be half done", [&] { return ProgressPosition(setup) >= 45; },
            kInstallTimeoutMs);
    Shot("4-progress", {setup.Wizard()});
    setup.WaitForText(text::kFinished, kInstallTimeoutMs);
    Shot("5-finish-note", {setup.Wizard()});
    FinishWith(setup, false);
  }
}

const std::map<std::string, void (*)(const std::string&, const Arguments&)> kScenarios = {
    {"tour", Tour},
    {"start_time", StartTime},
    {"second_copy", SecondCopy},
    {"already_installed", AlreadyInstalled},
    {"product_running", ProductRunning},
    {"cancel_pages", CancelPages},
    {"refused_folders", RefusedFolders},
    {"full_install", FullInstall},
    {"uninstall_reinstall", UninstallReinstall},
    {"unpack_error", UnpackError},
    {"cancel_copy", CancelCopy},
    {"install_time", InstallTime},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || !kScenarios.count(argv[1])) {
    std::fprintf(stderr, "usage: vx_e2e_driver <scenario> <SetupVXLite.exe> [arguments]\n");
    for (const auto& [name, run] : kScenarios) std::fprintf(stderr, "  %s\n", name.c_str());
    return 2;
  }
  const std::string scenario = argv[1];
  const Arguments arguments(argv + 3, argv + argc);
  ComApartment com;  // the links are read through the shell's link object
  try {
    kScenarios.at(scenario)(argv[2], arguments);
  } catch (const std::exception& failure) {
    std::printf("E2E FAILED %s: %s\n", scenario.c_str(), failure.what());
    return 1;
  }
  std::printf("E2E PASSED %s\n", scenario.c_str());
  return 0;
}
