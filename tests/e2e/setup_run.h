// Working the setup's windows from another process, as a user would: the
// setup process, its wizard and message boxes found by class, controls by
// their texts, clicks posted as BM_CLICK, and the waits in between.
#pragma once
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/product.h"

namespace vx::e2e {

constexpr DWORD kStepTimeoutMs = 20000;
constexpr DWORD kInstallTimeoutMs = 120000;
constexpr int kBoxTextId = 0xFFFF;  // the message text of a message box

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Ends the scenario with a failure that says what when condition is false.
void Require(bool condition, const std::string& what);

// One line of the scenario's report.
void Note(const std::string& line);

// Keeps this process's own windows answering while it waits.
void PumpOwnMessages();

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

// The class name of any window.
std::string ClassOf(HWND window);

// The text of a window of another process (GetWindowText would not ask it).
std::string TextOf(HWND window);

// The shown top-level windows of a process that have the class.
std::vector<HWND> TopWindowsOf(DWORD processId, const char* className);

// The first shown control of the window that matches (or null).
HWND ShownChild(HWND parent, const std::function<bool(HWND)>& matches);

// A shown control whose text is exactly text.
HWND ShownControl(HWND parent, const std::string& text);

// A shown control of the class.
HWND ShownControlOfClass(HWND parent, const char* className);

// One run of the setup executable, started by the driver; a run still
// going when the object ends (a failed scenario) is ended.
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
  // Waits for the process to end, or for the wizard to show the text;
  // the exit code, or nothing when the text came first.
  std::optional<DWORD> WaitForExitOrText(const std::string& text, DWORD timeoutMs) const {
    std::optional<DWORD> exitCode;
    WaitFor("the setup to end or show \"" + text + "\"",
            [&] {
              if (WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(process_.get(), &code);
                exitCode = code;
                return true;
              }
              return Shows(text);
            },
            timeoutMs);
    return exitCode;
  }

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

// Goes forward from page 1 to the given page (1 to 3).
void GoToPage(const SetupRun& setup, int page);

// Cancels from the current page: a "No" keeps the wizard where it was, a
// "Yes" ends it with exit code 0.
void CancelHere(const SetupRun& setup, const std::string& pageText);

// The wizard says it cannot go on and offers only "&Close".
void RequireBlocked(const SetupRun& setup);

// Types a folder into page 3's folder field.
void TypeFolder(const SetupRun& setup, const std::string& folder);

// Goes to page 3, checks the proposed folder and clicks "Install"; returns
// the moment of the click.
LARGE_INTEGER StartInstall(const SetupRun& setup);

bool IsTicked(HWND box);

// Leaves page 5 with "Finish", "Run ... now!" ticked or not; the setup ends with 0.
void FinishWith(const SetupRun& setup, bool runNow);

// The progress bar's position on page 4.
int ProgressPosition(const SetupRun& setup);

}  // namespace vx::e2e
