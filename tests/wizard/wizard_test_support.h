// Helpers for the wizard window tests: scripted answers for the window's
// boxes and folder dialog, message pumping, control texts, and drive letters
// of the Wine prefix.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fixtures.h"
#include "wizard/interaction.h"
#include "wizard/wizard_window.h"

namespace vx::test {

// Answers the window's modal interactions from queues the test fills, and
// records what the window asked. A box nobody expected is a test failure.
class ScriptedInteraction final : public WizardInteraction {
 public:
  struct Box {
    std::string text;
    BoxKind kind;
    HWND owner;
  };

  std::deque<int> answers;                          // for ShowBox, in order
  // Runs while a box is "open", before its answer is given: a real box keeps
  // dispatching the window's messages meanwhile.
  std::function<void(const std::string& text)> whileOpen;
  std::deque<std::optional<std::string>> folders;   // for BrowseForFolder; empty = cancelled
  std::vector<Box> boxes;
  std::vector<std::string> browseTitles;
  std::vector<std::string> opened;

  int ShowBox(HWND owner, const std::string& text, BoxKind kind) override;
  bool BrowseForFolder(HWND owner, const std::string& title, std::string& folder) override;
  void OpenWithShell(const std::string& target) override;
};

// Dispatches every queued message of this thread the way the setup's own
// message loop does (keyboard handling first).
void Pump(TfrmInstVXLite& window);

std::string WindowText(HWND window);
bool Visible(HWND window);  // the control and all its parents are shown
bool Enabled(HWND window);
// Position and size of a control within its parent's client area.
RECT RectInParent(HWND control);
// The text colour the window gives a static control when it paints.
COLORREF PaintedTextColor(HWND control);
// The tick glyph image list of a button, or null.
HIMAGELIST ButtonGlyph(HWND button);
// The tool tip text the window registered for a control, empty when none.
std::string ToolTipText(HWND wizard, HWND control);

// Presses a push button or check box as a mouse click does (BM_CLICK).
void Click(HWND button);

// Fixture: redirected registry, a scratch folder and a scripted wizard.
class WizardTest : public RegistryAndFilesTest {
 protected:
  void SetUp() override;
  // Creates the window (FormCreate runs); Show() sets up page 1.
  std::unique_ptr<TfrmInstVXLite> MakeWizard(HMODULE resources = nullptr,
                                             HWND otherSetup = nullptr);
  // Creates, shows and pumps: page 1 is set up.
  std::unique_ptr<TfrmInstVXLite> OpenWizard();
  // Moves an open wizard on page 1 forward to page 3 (ticking the licence).
  void GoToFolderPage(TfrmInstVXLite& wizard);

  HWND Ctrl(TfrmInstVXLite& wizard, Ctl id) { return wizard.Control(id); }

  ScriptedInteraction script_;
};

// A drive letter that no drive uses, or 0.
char FreeDriveLetter();

// A drive letter of the Wine prefix, defined through Wine's mount manager
// for the life of the object: it maps to a folder and has the drive type
// asked for. Only under Wine; ok() is false elsewhere.
class WineDrive {
 public:
  WineDrive(const std::string& folder, UINT driveType);
  ~WineDrive();
  WineDrive(const WineDrive&) = delete;
  WineDrive& operator=(const WineDrive&) = delete;
  bool ok() const { return letter_ != 0; }
  std::string Root() const { return std::string(1, letter_) + ":\\"; }

 private:
  char letter_ = 0;
};

bool RunningUnderWine();

// The setup's run log for one test, made below folder (TMP and TEMP point
// there while it starts). Text() stops it and returns what it holds.
class TestRunLog {
 public:
  explicit TestRunLog(const std::string& folder);
  ~TestRunLog();
  TestRunLog(const TestRunLog&) = delete;
  TestRunLog& operator=(const TestRunLog&) = delete;
  std::string Text();

 private:
  std::string path_;
};

}  // namespace vx::test
