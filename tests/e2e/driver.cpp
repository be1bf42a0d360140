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
#include <functional>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/product.h"

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
  HWND WaitForText(const std::string& text) const {
    return WaitFor("\"" + text + "\" on the wizard", [&]() -> HWND {
      HWND wizard = Wizard();
      return wizard ? ShownControl(wizard, text) : nullptr;
    });
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
    HWND field = ShownControlOfClass(setup.Wizard(), "Edit");
    Require(field != nullptr, "no folder field on page 3");
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    Require(TextOf(field) == folder, "the folder field did not take the text");
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

// Time from starting the setup to its first page being shown (median of the
// runs given as the argument, default 5), beside the time Wine needs to
// start and end a program that does nothing (cmd /c exit 0).
void StartTime(const std::string& exe, const Arguments& arguments) {
  const int runs = arguments.empty() ? 5 : std::max(1, std::atoi(arguments[0].c_str()));
  std::vector<double> wizard, bare;
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    SetupRun setup(exe);
    const ULONGLONG limit = GetTickCount64() + kStepTimeoutMs;
    while (!setup.Shows(text::kWelcome)) {
      Require(GetTickCount64() < limit, "the first page did not appear");
      Sleep(2);
    }
    wizard.push_back(MillisecondsSince(start));
    CancelHere(setup, text::kWelcome);

    QueryPerformanceCounter(&start);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    char commandLine[] = "cmd.exe /c exit 0";
    Require(CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &info) != FALSE,
            "cmd cannot be started");
    WaitForSingleObject(info.hProcess, kStepTimeoutMs);
    bare.push_back(MillisecondsSince(start));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  std::printf("setup start to first page: median %.0f ms over %d runs\n", Median(wizard), runs);
  std::printf("cmd /c exit 0, start to end: median %.0f ms over %d runs\n", Median(bare), runs);
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
  try {
    kScenarios.at(scenario)(argv[2], arguments);
  } catch (const std::exception& failure) {
    std::printf("E2E FAILED %s: %s\n", scenario.c_str(), failure.what());
    return 1;
  }
  std::printf("E2E PASSED %s\n", scenario.c_str());
  return 0;
}
