// Keyboard use of the wizard through the message loop's key handling: Enter,
// Esc, the "&" accelerators and the Tab order.
#include <gtest/gtest.h>

#include "wizard_test_support.h"

namespace vx {
namespace {

using test::Enabled;
using test::Pump;
using test::WindowText;

class WizardKeyboard : public test::WizardTest {
 protected:
  // A key as the user's keyboard sends it: to the control with the focus.
  void Key(TfrmInstVXLite& wizard, WPARAM key) {
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : wizard.Handle(), WM_KEYDOWN, key, 1);
    Pump(wizard);
  }
  // Alt with a letter: the accelerator of a caption.
  void AltKey(TfrmInstVXLite& wizard, char letter) {
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : wizard.Handle(), WM_SYSCHAR, static_cast<WPARAM>(letter),
                 0x20000001);
    Pump(wizard);
  }
  std::unique_ptr<TfrmInstVXLite> OpenFocused() {
    auto wizard = OpenWizard();
    if (wizard) {
      SetForegroundWindow(wizard->Handle());
      SetActiveWindow(wizard->Handle());
      Pump(*wizard);
    }
    return wizard;
  }
};

TEST_F(WizardKeyboard, FocusStartsOnTheFirstControlOfEachPage) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  EXPECT_EQ(GetFocus(), Ctrl(*wizard, Ctl::btnNext));
  Key(*wizard, VK_RETURN);
  ASSERT_EQ(wizard->PageIndex(), 1);
  EXPECT_EQ(GetFocus(), Ctrl(*wizard, Ctl::mmEULA));  // Next is disabled here
}

TEST_F(WizardKeyboard, EnterMovesForwardOnlyWhenForwardIsPossible) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  Key(*wizard, VK_RETURN);
  ASSERT_EQ(wizard->PageIndex(), 1);
  Key(*wizard, VK_RETURN);  // licence not accepted: Next is disabled
  EXPECT_EQ(wizard->PageIndex(), 1);
  AltKey(*wizard, 'y');  // "&Yes, I accept ..."
  EXPECT_EQ(SendMessageA(Ctrl(*wizard, Ctl::cbEULA), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(Enabled(Ctrl(*wizard, Ctl::btnNext)));
  AltKey(*wizard, 'n');  // "&Next >"
  ASSERT_EQ(wizard->PageIndex(), 2);
  EXPECT_TRUE(script_.boxes.empty());
}

TEST_F(WizardKeyboard, EnterPressesTheFocusedButton) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  SetFocus(Ctrl(*wizard, Ctl::btnBack));
  Key(*wizard, VK_RETURN);
  EXPECT_EQ(wizard->PageIndex(), 1);
}

TEST_F(WizardKeyboard, EnterInTheFolderFieldRunsTheFolderChecks) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  SetFocus(Ctrl(*wizard, Ctl::edtTarget));
  SetWindowTextA(Ctrl(*wizard, Ctl::edtTarget), "VantorexLite");
  script_.answers = {IDOK};
  Key(*wizard, VK_RETURN);
  ASSERT_EQ(script_.boxes.size(), 1u);
  EXPECT_EQ(script_.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(wizard->PageIndex(), 2);
}

TEST_F(WizardKeyboard, EscapeAsksTheCancelQuestion) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  script_.answers = {IDNO, IDYES};
  Key(*wizard, VK_ESCAPE);
  ASSERT_EQ(script_.boxes.size(), 1u);
  EXPECT_TRUE(wizard->IsOpen());
  AltKey(*wizard, 'x');  // "E&xit"
  EXPECT_EQ(script_.boxes.size(), 2u);
  EXPECT_FALSE(wizard->IsOpen());
}

TEST_F(WizardKeyboard, TabFollowsTheVisualOrderOfTheFolderPage) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  SetFocus(Ctrl(*wizard, Ctl::edtTarget));
  const Ctl order[] = {Ctl::btnBrowse, Ctl::btnBack, Ctl::btnNext, Ctl::btnCancel,
                       Ctl::edtTarget};
  for (Ctl expected : order) {
    Key(*wizard, VK_TAB);
    EXPECT_EQ(GetFocus(), Ctrl(*wizard, expected)) << "expected " << static_cast<int>(expected);
  }
}

TEST_F(WizardKeyboard, TabLeavesTheLicenceTextForTheTickBox) {
  auto wizard = OpenFocused();
  ASSERT_TRUE(wizard);
  Key(*wizard, VK_RETURN);
  ASSERT_EQ(GetFocus(), Ctrl(*wizard, Ctl::mmEULA));
  Key(*wizard, VK_TAB);
  EXPECT_EQ(GetFocus(), Ctrl(*wizard, Ctl::cbEULA));
  Key(*wizard, VK_SPACE);
  PostMessageA(GetFocus(), WM_KEYUP, VK_SPACE, 0xC0000001);
  Pump(*wizard);
  EXPECT_EQ(SendMessageA(Ctrl(*wizard, Ctl::cbEULA), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(Enabled(Ctrl(*wizard, Ctl::btnNext)));
}

}  // namespace
}  // namespace vx
