#include "setup_run.h"

#include <commctrl.h>

#include <cstdio>

#include "machine.h"  // the proposed install folder

namespace vx::e2e {

void Require(bool condition, const std::string& what) {
  if (!condition) throw Failure(what);
}

void Note(const std::string& line) { std::printf("  %s\n", line.c_str()); std::fflush(stdout); }

void PumpOwnMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return {};
  }
  return std::string(text, copied);
}

namespace {

// Enumeration callbacks are named functions: a lambda does not convert to
// the __stdcall pointer the 32-bit build's WNDENUMPROC is.
struct TopWindowSearch {
  DWORD processId;
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<TopWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && IsWindowVisible(window) &&
      ClassOf(window) == search.className) {
    search.found.push_back(window);
  }
  return TRUE;
}

struct ChildSearch {
  const std::function<bool(HWND)>& matches;
  HWND found;
};

BOOL CALLBACK FindShownChild(HWND child, LPARAM data) {
  auto& search = *reinterpret_cast<ChildSearch*>(data);
  if (IsWindowVisible(child) && search.matches(child)) {
    search.found = child;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD processId, const char* className) {
  TopWindowSearch search{processId, className, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ShownChild(HWND parent, const std::function<bool(HWND)>& matches) {
  ChildSearch search{matches, nullptr};
  EnumChildWindows(parent, FindShownChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ShownControl(HWND parent, const std::string& text) {
  return ShownChild(parent, [&](HWND child) { return TextOf(child) == text; });
}

HWND ShownControlOfClass(HWND parent, const char* className) {
  return ShownChild(parent, [&](HWND child) { return ClassOf(child) == className; });
}

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

void CancelHere(const SetupRun& setup, const std::string& pageText) {
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDNO);
  Require(setup.Running() && setup.Shows(pageText), "a No to the abort question left the page");
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.WaitForCleanExit();
}

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

void TypeFolder(const SetupRun& setup, const std::string& folder) {
  HWND field = ShownControlOfClass(setup.Wizard(), "Edit");
  Require(field != nullptr, "no folder field on page 3");
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  Require(TextOf(field) == folder, "the folder field did not take the text");
}

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

int ProgressPosition(const SetupRun& setup) {
  HWND bar = setup.Wizard() ? ShownControlOfClass(setup.Wizard(), PROGRESS_CLASSA) : nullptr;
  DWORD_PTR position = 0;
  if (bar) SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
  return static_cast<int>(position);
}

}  // namespace vx::e2e
