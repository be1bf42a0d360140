// The wizard window created for real in this process: its texts, licence,
// navigation, blocks, cancel and close rules, folder page and layout.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/system.h"
#include "product_window.h"
#include "wizard_test_support.h"

namespace vx {
namespace {

using test::ButtonGlyph;
using test::Click;
using test::Enabled;
using test::ProductWindow;
using test::Pump;
using test::Visible;
using test::WindowText;

class WizardWindow : public test::WizardTest {};

// The sample licence of this test program with every line ended by CR LF.
const char kSampleAgreement[] =
    "SAMPLE LICENCE FOR THE WIZARD TESTS\r\n"
    "Lines of this file end with LF alone;\r\n"
    "the licence page shows each on its own line.\r\n"
    "\r\n"
    "Vantorex\x99 Lite sample, last line.\r\n";

TEST_F(WizardWindow, CreationSetsEveryTextByteForByte) {
  auto wizard = MakeWizard();
  ASSERT_TRUE(wizard);
  const std::pair<Ctl, const char*> texts[] = {
      {Ctl::lblWelcome, "Welcome to the Vantorex Lite - Setup Wizard"},
      {Ctl::lblFolder, "Select folder to install"},
      {Ctl::btnBrowse, "Browse..."},
      {Ctl::lblWait, "Please wait while Setup is installing Vantorex\x99 Lite on your computer"},
      {Ctl::btnBack, "< &Back"},
      {Ctl::btnNext, "&Next >"},
      {Ctl::lblCopy, kMakerNoticeLine},
      {Ctl::lblURL, kMakerWebAddress},
      {Ctl::lblIntro,
       "This setup program will install Vantorex\x99 Lite ver 4.5.6.7 on your computer.\r"
       "It is recomended that you close all other applications before continuing\r"},
      {Ctl::lblOPTIONS, "Click Next to continue, or Exit to exit Setup"},
      {Ctl::btnCancel, "E&xit"},
      {Ctl::cbEULA, "&Yes, I accept the License Agreement above"},
      {Ctl::cboxStart, "Run Vantorex\x99 Lite now!"},
      {Ctl::lblNote,
       "Please note that Vantorex requires following Sun Java\x99 software to be installed on "
       "your computer"},
      {Ctl::lblJDKUrl, "- Java Development Kit (JDK) ver. 1.5 (or higher)"},
      {Ctl::lblWTKUrl, "- Java Wireless Toolkit (WTK) ver. 2.5.2 (or higher)"},
      {Ctl::gbNOTE, "  NOTE  "},
      {Ctl::lblFile, ".../..."},
      {Ctl::mmEULA, kSampleAgreement},
  };
  for (const auto& [id, text] : texts) {
    EXPECT_EQ(WindowText(Ctrl(*wizard, id)), text) << "control " << static_cast<int>(id);
  }
  EXPECT_EQ(WindowText(wizard->Handle()), "Vantorex\x99 LITE - Setup");
  for (Ctl link : {Ctl::lblJDKUrl, Ctl::lblWTKUrl}) {
    const std::string hint = "link to download page (" + wizard->LinkTarget(link) + ")";
    EXPECT_FALSE(wizard->LinkTarget(link).empty());
    EXPECT_EQ(test::ToolTipText(wizard->Handle(), Ctrl(*wizard, link)), hint);
  }
  EXPECT_EQ(wizard->LinkTarget(Ctl::lblJDKUrl), kJdkDownloadAddress);
  EXPECT_EQ(wizard->LinkTarget(Ctl::lblWTKUrl), kWtkDownloadAddress);
  EXPECT_EQ(wizard->LinkTarget(Ctl::lblURL), kMakerWebAddress);
  EXPECT_TRUE(SendMessageA(Ctrl(*wizard, Ctl::cboxStart), BM_GETCHECK, 0, 0) == BST_CHECKED);
  EXPECT_EQ(wizard->State(), kStateReady);
  EXPECT_EQ(wizard->PageIndex(), 0);
  EXPECT_FALSE(wizard->Installed());
  EXPECT_TRUE(script_.boxes.empty());
}

TEST_F(WizardWindow, DefaultFolderIsUnderProgramFilesAndEnablesNext) {
  auto wizard = MakeWizard();
  ASSERT_TRUE(wizard);
  const std::string field = WindowText(Ctrl(*wizard, Ctl::edtTarget));
  EXPECT_EQ(field, GetSpecialFolder(CSIDL_PROGRAM_FILES) + "\\VantorexLite");
  // The 64-bit build sees the 64-bit folder; the 32-bit one "Program Files (x86)".
  if (sizeof(void*) == 8) {
    EXPECT_EQ(field, "C:\\Program Files\\VantorexLite");
  }
  EXPECT_TRUE(Enabled(Ctrl(*wizard, Ctl::btnNext)));
}

// A module without "VXEULA" and without the pictures, and one whose
// "VXEULA" is empty: the built-in agreement stays; without the glyph the
// folder page still reads "&Install".
TEST_F(WizardWindow, BuiltInAgreementWhenTheResourceIsMissingOrEmpty) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll = path;
  dll = dll.substr(0, dll.find_last_of('\\') + 1) + "test_wizard_empty_eula.dll";
  ModuleHandle emptyEula(LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(emptyEula) << dll;
  ASSERT_TRUE(FindResourceA(emptyEula.get(), "VXEULA", RT_RCDATA));
  for (HMODULE resources : {emptyEula.get(), GetModuleHandleA("kernel32.dll")}) {
    auto wizard = MakeWizard(resources);
    ASSERT_TRUE(wizard);
    EXPECT_EQ(WindowText(Ctrl(*wizard, Ctl::mmEULA)), text::kBuiltInAgreement);
    wizard->Show();
    Pump(*wizard);
    GoToFolderPage(*wizard);
    EXPECT_EQ(WindowText(Ctrl(*wizard, Ctl::btnNext)), "&Install");
    EXPECT_EQ(ButtonGlyph(Ctrl(*wizard, Ctl::btnNext)), nullptr);
  }
}

TEST_F(WizardWindow, JavaToolsAreLookedForBeforeTheFirstShow) {
  const std::string jdk = scratch_ / "jdk";
  const std::string wtk = scratch_ / "wtk";
  ASSERT_TRUE(CreateDirectoryA(jdk.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(wtk.c_str(), nullptr));
  ASSERT_TRUE(WriteRegistryString(std::string(kJdkRegistryKey) + "\\1.4.2", kJdkHomeValue, jdk));
  ASSERT_TRUE(WriteRegistryString(std::string(kJdkRegistryKey) + "\\1.6.0_20", kJdkHomeValue, jdk));
  ASSERT_TRUE(WriteRegistryString(std::string(kJ2meToolkitKey) + "\\2.5.2", kWtkFolderValue, wtk));
  auto wizard = MakeWizard();
  ASSERT_TRUE(wizard);
  ASSERT_FALSE(IsWindowVisible(wizard->Handle()));
  ASSERT_EQ(wizard->JDKList().size(), 1u);
  ASSERT_NE(wizard->FirstJDK(), nullptr);
  EXPECT_EQ(wizard->FirstJDK()->Version, "1.6.0_20");
  EXPECT_EQ(wizard->FirstJDK()->Home, jdk);
  ASSERT_NE(wizard->FirstWTK(), nullptr);
  EXPECT_EQ(wizard->FirstWTK()->Version, "2.5.2");
}

TEST_F(WizardWindow, NoJavaToolsLeavesBothPicksEmpty) {
  auto wizard = MakeWizard();
  ASSERT_TRUE(wizard);
  EXPECT_TRUE(wizard->JDKList().empty());
  EXPECT_EQ(wizard->FirstJDK(), nullptr);
  EXPECT_EQ(wizard->FirstWTK(), nullptr);
}

TEST_F(WizardWindow, PageOneShowsWelcomeWithBannerAndNoBack) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::panel1)));
  for (Ctl page : {Ctl::Panel2, Ctl::Panel3, Ctl::Panel4, Ctl::Panel5}) {
    EXPECT_FALSE(Visible(Ctrl(*wizard, page)));
  }
  EXPECT_EQ(GetParent(Ctrl(*wizard, Ctl::pnlBanner)), Ctrl(*wizard, Ctl::panel1));
  EXPECT_FALSE(Visible(Ctrl(*wizard, Ctl::btnBack)));
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::btnNext)));
  EXPECT_TRUE(Enabled(Ctrl(*wizard, Ctl::btnNext)));
  EXPECT_EQ(WindowText(Ctrl(*wizard, Ctl::btnNext)), "&Next >");
  EXPECT_TRUE(script_.boxes.empty());
}

TEST_F(WizardWindow, LicencePageNeedsTheTickAndForgetsItOnTheWayBack) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  HWND next = Ctrl(*wizard, Ctl::btnNext);
  HWND accept = Ctrl(*wizard, Ctl::cbEULA);
  Click(next);
  ASSERT_EQ(wizard->PageIndex(), 1);
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::Panel2)));
  EXPECT_FALSE(Visible(Ctrl(*wizard, Ctl::panel1)));
  EXPECT_EQ(GetParent(Ctrl(*wizard, Ctl::pnlBanner)), Ctrl(*wizard, Ctl::Panel2));
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::btnBack)));
  EXPECT_FALSE(Enabled(next));
  Click(next);  // disabled: nothing
  EXPECT_EQ(wizard->PageIndex(), 1);
  Click(accept);
  EXPECT_TRUE(Enabled(next));
  Click(accept);
  EXPECT_FALSE(Enabled(next));
  Click(accept);
  Click(next);
  ASSERT_EQ(wizard->PageIndex(), 2);
  EXPECT_EQ(WindowText(next), "&Install");
  EXPECT_NE(ButtonGlyph(next), nullptr);
  EXPECT_TRUE(Enabled(next));
  Click(Ctrl(*wizard, Ctl::btnBack));
  ASSERT_EQ(wizard->PageIndex(), 1);
  EXPECT_EQ(SendMessageA(accept, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(Enabled(next));
  EXPECT_EQ(WindowText(next), "&Next >");
  EXPECT_EQ(ButtonGlyph(next), nullptr);
  Click(Ctrl(*wizard, Ctl::btnBack));
  EXPECT_EQ(wizard->PageIndex(), 0);
  EXPECT_FALSE(Visible(Ctrl(*wizard, Ctl::btnBack)));
  EXPECT_TRUE(Enabled(next));
  EXPECT_EQ(wizard->State(), kStateReady);
  EXPECT_TRUE(script_.boxes.empty());
}

class CancelOnPage : public test::WizardTest, public ::testing::WithParamInterface<int> {};

TEST_P(CancelOnPage, AsksAndOnlyYesCloses) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  const int page = GetParam();
  if (page >= 1) Click(Ctrl(*wizard, Ctl::btnNext));
  if (page >= 2) {
    Click(Ctrl(*wizard, Ctl::cbEULA));
    Click(Ctrl(*wizard, Ctl::btnNext));
  }
  ASSERT_EQ(wizard->PageIndex(), page);
  script_.answers = {IDNO, IDCANCEL, IDYES};
  for (int attempt = 0; attempt < 2; ++attempt) {
    Click(Ctrl(*wizard, Ctl::btnCancel));
    Pump(*wizard);
    ASSERT_TRUE(wizard->IsOpen());
    EXPECT_EQ(wizard->PageIndex(), page);
    EXPECT_EQ(wizard->State(), kStateReady);
  }
  Click(Ctrl(*wizard, Ctl::btnCancel));
  EXPECT_EQ(wizard->State(), kStateEnded);
  Pump(*wizard);
  EXPECT_FALSE(wizard->IsOpen());
  ASSERT_EQ(script_.boxes.size(), 3u);
  for (const auto& box : script_.boxes) {
    EXPECT_EQ(box.text, "Are you sure you want to abort the installation?");
    EXPECT_EQ(box.kind, BoxKind::Confirmation);
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, CancelOnPage, ::testing::Values(0, 1, 2));

TEST_F(WizardWindow, CloseButtonAsksInsteadOfClosing) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  script_.answers = {IDNO, IDYES};
  SendMessageA(wizard->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump(*wizard);
  ASSERT_TRUE(wizard->IsOpen());
  EXPECT_EQ(script_.boxes.size(), 1u);
  SendMessageA(wizard->Handle(), WM_CLOSE, 0, 0);
  Pump(*wizard);
  EXPECT_FALSE(wizard->IsOpen());
  ASSERT_EQ(script_.boxes.size(), 2u);
  EXPECT_EQ(script_.boxes[1].kind, BoxKind::Confirmation);
}

// ---------------------------------------------------------------- blocks

void ExpectBlocked(test::WizardTest& test, TfrmInstVXLite& wizard, const char* message,
                   const test::ScriptedInteraction& script) {
  ASSERT_EQ(script.boxes.size(), 1u);
  EXPECT_EQ(script.boxes[0].text, message);
  EXPECT_EQ(script.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(script.boxes[0].owner, wizard.Handle());
  EXPECT_EQ(wizard.State(), kStateEnded);
  EXPECT_EQ(WindowText(wizard.Control(Ctl::lblWelcome)), "Installation can not proceed.");
  EXPECT_EQ(test::PaintedTextColor(wizard.Control(Ctl::lblWelcome)), RGB(255, 0, 0));
  EXPECT_FALSE(IsWindowVisible(wizard.Control(Ctl::lblIntro)));
  for (Ctl nav : {Ctl::btnNext, Ctl::btnBack}) {
    EXPECT_FALSE(IsWindowVisible(wizard.Control(nav)));
    EXPECT_FALSE(IsWindowEnabled(wizard.Control(nav)));
  }
  EXPECT_TRUE(Enabled(wizard.Control(Ctl::btnCancel)));
  EXPECT_EQ(WindowText(wizard.Control(Ctl::btnCancel)), "&Close");
}

TEST_F(WizardWindow, InstalledProductBlocksAtTheFirstPage) {
  RegKey key;
  ASSERT_EQ(CreateRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_ALL_ACCESS, key),
            ERROR_SUCCESS);
  key.reset();
  script_.answers = {IDOK};
  // The box comes first; the page changes once it is answered.
  TfrmInstVXLite* shown = nullptr;
  int stateWhileOpen = 0;
  std::string welcomeWhileOpen;
  script_.whileOpen = [&](const std::string&) {
    stateWhileOpen = shown ? shown->State() : -1;
    welcomeWhileOpen = shown ? WindowText(shown->Control(Ctl::lblWelcome)) : "";
  };
  auto wizard = MakeWizard();
  ASSERT_TRUE(wizard);
  shown = wizard.get();
  wizard->Show();
  Pump(*wizard);
  EXPECT_EQ(stateWhileOpen, kStateReady);
  EXPECT_EQ(welcomeWhileOpen, "Welcome to the Vantorex Lite - Setup Wizard");
  EXPECT_TRUE(wizard->Installed());
  ExpectBlocked(*this, *wizard, "Vantorex\x99 Lite is already installed on this computer.",
                script_);
  Click(Ctrl(*wizard, Ctl::btnCancel));  // "&Close": no question
  Pump(*wizard);
  EXPECT_FALSE(wizard->IsOpen());
  EXPECT_EQ(script_.boxes.size(), 1u);
}

TEST_F(WizardWindow, RunningProductBlocksTheMoveToTheFolderPage) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  Click(Ctrl(*wizard, Ctl::btnNext));
  Click(Ctrl(*wizard, Ctl::cbEULA));
  ASSERT_TRUE(script_.boxes.empty());
  ProductWindow product;
  ASSERT_TRUE(product.get());
  script_.answers = {IDOK};
  Click(Ctrl(*wizard, Ctl::btnNext));
  ExpectBlocked(*this, *wizard, "Vantorex\x99 Lite is currently running on this computer.",
                script_);
  EXPECT_FALSE(wizard->Installed());
}

TEST_F(WizardWindow, SecondSetupWindowClosesSilentlyAndLeavesTheFirstAlone) {
  auto first = OpenWizard();
  ASSERT_TRUE(first);
  HWND found = FindWindowA(kWizardClassName, nullptr);
  ASSERT_EQ(found, first->Handle());
  auto second = MakeWizard(nullptr, found);
  ASSERT_TRUE(second);
  second->Show();
  EXPECT_EQ(second->State(), kStateEnded);
  Pump(*second);
  EXPECT_FALSE(second->IsOpen());
  EXPECT_TRUE(script_.boxes.empty());
  ASSERT_TRUE(first->IsOpen());
  EXPECT_EQ(first->State(), kStateReady);
  EXPECT_TRUE(IsWindowVisible(first->Handle()));
}

// ---------------------------------------------------------------- folder page

TEST_F(WizardWindow, BlankFolderFieldDisablesInstall) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  HWND field = Ctrl(*wizard, Ctl::edtTarget);
  HWND next = Ctrl(*wizard, Ctl::btnNext);
  SetWindowTextA(field, "  \t ");
  EXPECT_FALSE(Enabled(next));
  SetWindowTextA(field, "");
  EXPECT_FALSE(Enabled(next));
  SetWindowTextA(field, " x");
  EXPECT_TRUE(Enabled(next));
}

TEST_F(WizardWindow, BrowseAddsTheProductFolderToAnExistingChoice) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  HWND field = Ctrl(*wizard, Ctl::edtTarget);
  const std::string before = WindowText(field);
  script_.folders = {std::nullopt, scratch_ / "missing", scratch_.path(), "C:\\"};
  HWND browse = Ctrl(*wizard, Ctl::btnBrowse);
  Click(browse);  // cancelled
  EXPECT_EQ(WindowText(field), before);
  Click(browse);  // not an existing folder
  EXPECT_EQ(WindowText(field), before);
  Click(browse);
  EXPECT_EQ(WindowText(field), scratch_.path() + "\\VantorexLite");
  Click(browse);  // a drive root keeps its backslash: the install start merges the pair
  EXPECT_EQ(WindowText(field), "C:\\\\VantorexLite");
  ASSERT_EQ(script_.browseTitles.size(), 4u);
  EXPECT_EQ(script_.browseTitles[0], "Select folder to install");
}

TEST_F(WizardWindow, FolderWithoutDriveStaysOnThePageWithTheErrorBox) {
  test::TestRunLog log(scratch_.path());
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  SetWindowTextA(Ctrl(*wizard, Ctl::edtTarget), "  VantorexLite ");
  script_.answers = {IDOK};
  Click(Ctrl(*wizard, Ctl::btnNext));
  EXPECT_EQ(wizard->PageIndex(), 2);
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::Panel3)));
  ASSERT_EQ(script_.boxes.size(), 1u);
  EXPECT_EQ(script_.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(script_.boxes[0].text,
            "Install folder \"VantorexLite\r\" has no valid drive or it is not valid path\r"
            "\"VantorexLite\" is invalid path.");
  EXPECT_EQ(WindowText(Ctrl(*wizard, Ctl::edtTarget)), "  VantorexLite ");  // never rewritten
  // The log says where the user went, what was pressed and why the folder was refused.
  const std::string text = log.Text();
  const size_t shown = text.find("] page 3 (install folder) shown\r\n");
  const size_t pressed = text.find("] button Install pressed\r\n");
  const size_t refused =
      text.find("] folder check of \"VantorexLite\": \"VantorexLite\" is invalid path.\r\n");
  ASSERT_NE(refused, std::string::npos) << text;
  EXPECT_LT(shown, pressed) << text;
  EXPECT_LT(pressed, refused) << text;
  EXPECT_EQ(text.find("page 4"), std::string::npos) << text;
}

TEST_F(WizardWindow, GoodFolderMovesToTheProgressPage) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  GoToFolderPage(*wizard);
  SetWindowTextA(Ctrl(*wizard, Ctl::edtTarget), (" " + scratch_.path() + "\\\\Target\\ ").c_str());
  Click(Ctrl(*wizard, Ctl::btnNext));
  ASSERT_EQ(wizard->PageIndex(), 3);
  EXPECT_TRUE(script_.boxes.empty());
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::Panel4)));
  EXPECT_EQ(WindowText(Ctrl(*wizard, Ctl::gbProgress)), " Extracting installation package...");
  EXPECT_EQ(wizard->InstallDir(), scratch_.path() + "\\Target");
  EXPECT_FALSE(Enabled(Ctrl(*wizard, Ctl::btnNext)));
  EXPECT_EQ(ButtonGlyph(Ctrl(*wizard, Ctl::btnNext)), nullptr);
  EXPECT_TRUE(Visible(Ctrl(*wizard, Ctl::btnBack)));
  EXPECT_FALSE(Enabled(Ctrl(*wizard, Ctl::btnBack)));
  EXPECT_EQ(wizard->State(), kStateReady);
  // With no step reported yet, cancel still asks and closes on Yes.
  script_.answers = {IDYES};
  Click(Ctrl(*wizard, Ctl::btnCancel));
  Pump(*wizard);
  EXPECT_FALSE(wizard->IsOpen());
}

// ---------------------------------------------------------------- links, layout, DPI

TEST_F(WizardWindow, LinkLabelsAreUnderlinedShowTheHandAndOpenTheirAddress) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  HWND link = Ctrl(*wizard, Ctl::lblURL);
  LOGFONTA font{};
  ASSERT_TRUE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)),
                         sizeof font, &font));
  EXPECT_TRUE(font.lfUnderline);
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageA(link, WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(script_.opened.size(), 1u);
  EXPECT_EQ(script_.opened[0], kMakerWebAddress);
}

TEST_F(WizardWindow, LayoutAt96Dpi) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  if (wizard->Dpi() != USER_DEFAULT_SCREEN_DPI) GTEST_SKIP() << "prefix runs at another DPI";
  RECT client{};
  GetClientRect(wizard->Handle(), &client);
  EXPECT_EQ(client.right, 580);
  EXPECT_EQ(client.bottom, 387);
  const LONG_PTR style = GetWindowLongPtrA(wizard->Handle(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  struct Place {
    Ctl id;
    RECT rect;
  };
  const Place places[] = {
      {Ctl::pnlButtons, {0, 346, 580, 387}}, {Ctl::pnlMain, {0, 0, 580, 346}},
      {Ctl::panel1, {0, 0, 580, 346}},       {Ctl::pnlBanner, {0, 0, 580, 48}},
      {Ctl::btnBack, {264, 8, 339, 33}},     {Ctl::btnNext, {360, 8, 435, 33}},
      {Ctl::btnCancel, {496, 8, 571, 33}},   {Ctl::lblIntro, {8, 132, 465, 169}},
      {Ctl::mmEULA, {16, 80, 564, 265}},     {Ctl::cbEULA, {16, 272, 521, 289}},
      {Ctl::edtTarget, {16, 108, 433, 129}}, {Ctl::btnBrowse, {446, 108, 521, 133}},
      {Ctl::gbProgress, {0, 273, 580, 346}}, {Ctl::pbarInstall, {8, 25, 572, 41}},
      {Ctl::gbNOTE, {0, 205, 580, 346}},     {Ctl::lblNote, {72, 12, 529, 49}},
  };
  for (const Place& place : places) {
    const RECT rect = test::RectInParent(Ctrl(*wizard, place.id));
    EXPECT_TRUE(EqualRect(&rect, &place.rect))
        << "control " << static_cast<int>(place.id) << " at " << rect.left << "," << rect.top
        << " " << rect.right << "," << rect.bottom;
  }
  // The banner picture is drawn in the banner less its one-pixel edge.
  const RECT picture = test::RectInParent(Ctrl(*wizard, Ctl::Image1));
  EXPECT_EQ(picture.left, 1);
  EXPECT_EQ(picture.bottom - picture.top, 46);
}

TEST_F(WizardWindow, ResizeRuleFollowsPagesTwoAndFour) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  SetWindowPos(Ctrl(*wizard, Ctl::Panel4), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  SetWindowPos(Ctrl(*wizard, Ctl::Panel2), nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
  const RECT memo = test::RectInParent(Ctrl(*wizard, Ctl::mmEULA));
  const RECT bar = test::RectInParent(Ctrl(*wizard, Ctl::pbarInstall));
  const int scale = static_cast<int>(wizard->Dpi());
  EXPECT_EQ(memo.right - memo.left, 300 - MulDiv(32, scale, 96));
  EXPECT_EQ(memo.left, MulDiv(16, scale, 96));
  EXPECT_EQ(bar.right - bar.left, 400 - MulDiv(16, scale, 96));
  EXPECT_EQ(bar.left, MulDiv(8, scale, 96));
}

TEST_F(WizardWindow, NewDpiScalesWindowControlsAndFonts) {
  auto wizard = OpenWizard();
  ASSERT_TRUE(wizard);
  RECT suggested{10, 20, 900, 700};
  SendMessageA(wizard->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(wizard->Dpi(), 144u);
  RECT client{};
  GetClientRect(wizard->Handle(), &client);
  EXPECT_EQ(client.right, 870);
  EXPECT_EQ(client.bottom, 581);
  RECT window{};
  GetWindowRect(wizard->Handle(), &window);
  EXPECT_EQ(window.left, 10);
  EXPECT_EQ(window.top, 20);
  const RECT next = test::RectInParent(Ctrl(*wizard, Ctl::btnNext));
  EXPECT_EQ(next.left, 540);
  EXPECT_EQ(next.top, 12);
  EXPECT_EQ(next.right - next.left, 113);
  EXPECT_EQ(test::RectInParent(Ctrl(*wizard, Ctl::pnlButtons)).top, 581 - 62);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Ctrl(*wizard, Ctl::lblWelcome), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -20);  // -13 at 96 dpi
  EXPECT_EQ(font.lfWeight, FW_BOLD);
}

}  // namespace
}  // namespace vx
