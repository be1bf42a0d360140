// The install run through the real wizard window: a real worker installs a
// small package carried by a module of the test's own, the window handles
// the messages it posts, the cancel question pauses and stops it, the
// rollback undoes it, and the finish page makes real shell links.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/system.h"
#include "wizard/format.h"
#include "wizard_test_support.h"
#include "worker_fixtures.h"

namespace vx {
namespace {

using test::Click;
using test::Enabled;
using test::TestItem;
using test::Visible;
using test::WindowText;

// What the window showed right after it handled one of the worker's messages.
struct Seen {
  UINT message;
  LPARAM lParam;
  std::string caption;  // gbProgress
  std::string file;     // lblFile
  std::string final;    // lblFinal
  int bar;
  int state;
};

// One link file read back through the shell's link object.
struct LinkRead {
  bool loaded = false;
  std::string path, workingDirectory, arguments;
};

LinkRead ReadLink(const std::string& file) {
  LinkRead read;
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void())) ||
      FAILED(link.As(IID_IPersistFile, persist))) {
    return read;
  }
  std::wstring wide(file.begin(), file.end());
  if (FAILED(persist->Load(wide.c_str(), STGM_READ))) return read;
  read.loaded = true;
  char text[MAX_PATH * 2] = {};
  if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) read.path = text;
  text[0] = '\0';
  if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) read.workingDirectory = text;
  text[0] = '\0';
  if (SUCCEEDED(link->GetArguments(text, sizeof text))) read.arguments = text;
  return read;
}

std::vector<TestItem> ItemsWithoutProduct() {
  std::vector<TestItem> items = test::SampleItems();
  items.erase(items.begin());  // "vxlite.exe"
  return items;
}

class WizardInstall : public test::WizardTest {
 protected:
  void SetUp() override {
    test::WizardTest::SetUp();
    if (IsSkipped()) return;
    install_.emplace(scratch_.path());
    ASSERT_TRUE(install_->Made());
    temp_ = install_->temp;
    windows_ = install_->windows;
    installDir_ = install_->installDir;
    programGroup_ = ShortcutFolderPath(ShortcutFolderOf(ShortcutPlace::ProgramGroup));
    groupExisted_ = FolderExists(programGroup_);
    desktop_ = ShortcutFolderPath(ShortcutFolderOf(ShortcutPlace::Desktop));
    userQuickLaunch_ = ShortcutFolderPath(ShortcutFolderOf(ShortcutPlace::UserQuickLaunch));
    commonQuickLaunch_ = ShortcutFolderPath(ShortcutFolderOf(ShortcutPlace::CommonQuickLaunch));
    // Wine's shell notes "ProgramFilesDir" in the (redirected) machine key at
    // its first look-up; done here, so that a picture of the machine taken
    // before an install shows it already.
    GetSpecialFolder(CSIDL_PROGRAM_FILES);
  }

  void TearDown() override {
    if (!IsSkipped()) {
      wizard_.reset();  // its workers end first
      for (const std::string& link : Links()) DeleteFileA(link.c_str());
      if (!groupExisted_) RemoveDirectoryA(programGroup_.c_str());
      for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) {
        RemoveDirectoryA(it->c_str());
      }
      install_.reset();
    }
    test::WizardTest::TearDown();
  }

  // The four link files in the order they are made.
  std::vector<std::string> Links() const {
    return {LinkFileIn(programGroup_), LinkFileIn(desktop_), LinkFileIn(userQuickLaunch_),
            LinkFileIn(commonQuickLaunch_)};
  }

  // Makes a folder and every missing level above it, remembering what it made.
  void MakeFolder(const std::string& folder) {
    std::vector<std::string> missing;
    for (std::string level = folder; !level.empty() && !FolderExists(level);
         level = level.substr(0, level.find_last_of('\\'))) {
      missing.insert(missing.begin(), level);
    }
    for (const std::string& level : missing) {
      ASSERT_TRUE(CreateDirectoryA(level.c_str(), nullptr)) << level;
      madeFolders_.push_back(level);
    }
  }

  // The wizard on page 4 with a worker installing a package of these items
  // into installDir_ (bytes empty: a module without any package).
  void StartInstall(const std::vector<TestItem>& items) {
    const std::string bytes = items.empty() ? std::string() : test::BuildTestPackage(items);
    ASSERT_TRUE(items.empty() || !bytes.empty());
    module_ = std::make_unique<test::PackageModuleFile>(scratch_.path(), bytes);
    ASSERT_NE(module_->module(), nullptr);
    WizardOptions options;
    options.interaction = &script_;
    options.prepareWorker = [this](TVXInstallThread& worker) {
      worker.PackageModule = module_->module();
      worker.WindowsFolder = windows_;
      worker.QueryWindowsFolder = &test::TestWindowsFolder;
      if (observer_) worker.CheckPointObserver = observer_;
    };
    wizard_ = TfrmInstVXLite::Create(options);
    ASSERT_TRUE(wizard_);
    wizard_->Show();
    test::Pump(*wizard_);
    GoToFolderPage(*wizard_);
    SetWindowTextA(Ctrl(*wizard_, Ctl::edtTarget), (" " + installDir_ + "\\ ").c_str());
    Click(Ctrl(*wizard_, Ctl::btnNext));
    ASSERT_EQ(wizard_->PageIndex(), 3);
    ASSERT_NE(wizard_->Worker(), nullptr);
  }

  // Dispatches the window's messages until done() holds, noting what the
  // window showed after each worker message; then runs after(seen) for
  // the message just handled, if given.
  bool PumpUntil(const std::function<bool()>& done,
                 const std::function<void(const Seen&)>& after = nullptr,
                 DWORD timeoutMs = 60000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // IsDialogMessage dispatches the window's own messages itself.
        if (!wizard_->TranslateKeys(message)) {
          TranslateMessage(&message);
          DispatchMessageA(&message);
        }
        if (wizard_->IsOpen() && message.hwnd == wizard_->Handle() &&
            message.message >= WM_INST_PROGRESS && message.message <= WM_INST_DONE) {
          seen_.push_back(Seen{message.message, message.lParam,
                               WindowText(Ctrl(*wizard_, Ctl::gbProgress)),
                               WindowText(Ctrl(*wizard_, Ctl::lblFile)),
                               WindowText(Ctrl(*wizard_, Ctl::lblFinal)),
                               static_cast<int>(SendMessageA(Ctrl(*wizard_, Ctl::pbarInstall),
                                                             PBM_GETPOS, 0, 0)),
                               wizard_->State()});
          if (after) after(seen_.back());
        }
        if (done()) return true;
      }
      if (done()) return true;
      if (GetTickCount64() >= deadline) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  bool SeenStep(int32_t code) const {
    for (const Seen& seen : seen_) {
      if (seen.message == WM_INST_STEP && seen.lParam == code) return true;
    }
    return false;
  }
  std::vector<Seen> SeenOf(UINT message) const {
    std::vector<Seen> result;
    for (const Seen& seen : seen_) {
      if (seen.message == message) result.push_back(seen);
    }
    return result;
  }

  std::string temp_, windows_, installDir_;
  std::optional<test::InstallScratch> install_;
  std::string programGroup_, desktop_, userQuickLaunch_, commonQuickLaunch_;
  bool groupExisted_ = false;
  std::vector<std::string> madeFolders_;
  std::unique_ptr<test::PackageModuleFile> module_;
  TVXInstallThread::CheckPointHook observer_;
  std::unique_ptr<TfrmInstVXLite> wizard_;
  std::vector<Seen> seen_;
};

TEST(ProgressBar, PositionIsBytesOverAHundredthOfTheTotal) {
  struct Case {
    uint64_t bytes;
    int64_t total;
    int position;
  } cases[] = {
      {17328533, 17340691, 99},  // the last item of a full package: 99, not 100
      {17340691, 17340691, 100},
      {173406, 17340691, 1},
      {101, 17340691, 0},
      {100, 17340691, -1},  // 100 bytes or less: the bar stays
      {5000, 100, -1},      // no total yet (or a tiny one): the bar stays
      {5000, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressBarPosition(c.bytes, c.total), c.position) << c.bytes << " / " << c.total;
  }
}

TEST_F(WizardInstall, FullInstallFromTheFolderPageToTheFinishPageWithShortcuts) {
  test::TestRunLog log(scratch_.path());
  MakeFolder(userQuickLaunch_);
  MakeFolder(commonQuickLaunch_);
  // A link left by an earlier install is replaced.
  ASSERT_TRUE(test::WriteFileBytes(LinkFileIn(desktop_), "not a link"));
  const std::string jdk = scratch_ / "jdk";
  ASSERT_TRUE(CreateDirectoryA(jdk.c_str(), nullptr));
  ASSERT_TRUE(WriteRegistryString(std::string(kJdkRegistryKey) + "\\1.6.0_20", kJdkHomeValue, jdk));

  const std::vector<TestItem> items = test::SampleItems();
  ASSERT_NO_FATAL_FAILURE(StartInstall(items));
  ASSERT_TRUE(PumpUntil([&] { return SeenStep(kStepShortcutsDone); }));
  ASSERT_TRUE(PumpUntil([&] { return wizard_->PageIndex() == 4; }));
  test::Pump(*wizard_);
  EXPECT_TRUE(script_.boxes.empty());

  // Captions in the order of the steps; the window's own two come last.
  std::vector<std::pair<LPARAM, std::string>> steps;
  for (const Seen& seen : SeenOf(WM_INST_STEP)) steps.emplace_back(seen.lParam, seen.caption);
  const std::vector<std::pair<LPARAM, std::string>> expected = {
      {100, "  Extracting package... "},      {150, "  Creating folders... "},
      {100, "  Extracting package... "},      {200, "  Copying files... "},
      {300, "  Updating registry entries... "}, {400, "  Creating shortcuts... "},
      {500, "  Creating shortcuts... "},
  };
  EXPECT_EQ(steps, expected);

  // The bar and the file label after the last item.
  const std::vector<Seen> progress = SeenOf(WM_INST_PROGRESS);
  ASSERT_EQ(progress.size(), items.size());
  uint64_t total = 0;
  for (const TestItem& item : items) total += item.content.size();
  const int32_t packageSize = wizard_->Worker()->PackageSize;
  ASSERT_GT(packageSize, 1000);
  EXPECT_EQ(progress.back().bar, static_cast<int>(total / (packageSize / 100)));
  EXPECT_EQ(progress.back().file, installDir_ + "\\SampleContent\\readme.txt");
  EXPECT_EQ(progress.front().file, installDir_ + "\\vxlite.exe");
  EXPECT_EQ(progress.front().state, kStepCopyingFiles);
  // The step after the copy clears the file label.
  const std::vector<Seen> stepSeen = SeenOf(WM_INST_STEP);
  EXPECT_EQ(stepSeen[4].file, "");

  // Done: page 5, finished text, state 500 after the window's own steps.
  const std::vector<Seen> done = SeenOf(WM_INST_DONE);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].final, "Setup has finished installing Vantorex Lite on your computer");
  EXPECT_EQ(wizard_->State(), kStateFinished);
  EXPECT_EQ(wizard_->PageIndex(), 4);
  EXPECT_TRUE(Visible(Ctrl(*wizard_, Ctl::Panel5)));
  EXPECT_TRUE(Visible(Ctrl(*wizard_, Ctl::cboxStart)));
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::btnCancel)), "&Finish");
  EXPECT_FALSE(Visible(Ctrl(*wizard_, Ctl::btnNext)));
  // The picked JDK reached the worker.
  RegistryAccess settings(HKEY_LOCAL_MACHINE, KEY_READ);
  ASSERT_EQ(settings.OpenKeyReadOnly(kSettingsKeys[kSettingsKeySystem]), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(settings.ReadValue(kSettingJavaHome, type, data), ERROR_SUCCESS);
  EXPECT_EQ(data.c_str(), jdk);

  // The four links, each pointing at the product in the install folder.
  for (const std::string& file : Links()) {
    const LinkRead link = ReadLink(file);
    ASSERT_TRUE(link.loaded) << file;
    EXPECT_EQ(link.path, installDir_ + "\\vxlite.exe") << file;
    EXPECT_EQ(link.workingDirectory, installDir_ + "\\") << file;
    EXPECT_EQ(link.arguments, "") << file;
  }

  // Finish with the start box ticked starts the product, then closes.
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  test::Pump(*wizard_);
  EXPECT_FALSE(wizard_->IsOpen());
  ASSERT_EQ(script_.opened.size(), 1u);
  EXPECT_EQ(script_.opened[0], installDir_ + "\\vxlite.exe");

  // The log tells the outcome in order: the run's code, the shortcuts, the
  // finish page, and the product started on "Finish".
  const std::string text = log.Text();
  size_t at = 0;
  const std::vector<std::string> lines = {
      "] page 4 (progress) shown\r\n", "] install run ended: mode 100, code 0\r\n",
      "] shortcuts made: 4\r\n", "] page 5 (finish) shown\r\n", "] button Finish pressed\r\n",
      "] finish: the product is to be started: \"" + installDir_ + "\\vxlite.exe\"\r\n"};
  for (const std::string& line : lines) {
    const size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " after offset " << at << " in\n" << text;
    at = found + line.size();
  }
}

// Cancel while the files are copied. The worker is held after its second
// item until the question is open, so the question meets a copy in progress.
class WizardCancel : public WizardInstall {
 protected:
  void SetUp() override {
    WizardInstall::SetUp();
    if (IsSkipped()) return;
    reached_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    proceed_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    observer_ = [this](TVXInstallThread&, CheckPoint point, int32_t item) {
      if (point == CheckPoint::AfterItem && item == 1) {
        SetEvent(reached_.get());
        WaitForSingleObject(proceed_.get(), 30000);
      }
    };
  }
  // Pumps until the worker waits after its second item and the window shows
  // the copy step.
  void ReachCopying() {
    ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
    ASSERT_TRUE(PumpUntil([&] {
      return WaitForSingleObject(reached_.get(), 0) == WAIT_OBJECT_0 &&
             wizard_->State() == kStepCopyingFiles;
    }));
  }
  // While the question is open the worker is let go: being paused, it must
  // write nothing more.
  void LetGoWhileAsked() {
    script_.whileOpen = [this](const std::string& text) {
      if (text != text::kAbortQuestion) return;
      // Let go from its check point, the worker stops at the pause before
      // the next item: once it waits there, nothing more may be written.
      const uint32_t waits = wizard_->Worker()->GateWaits();
      SetEvent(proceed_.get());
      const ULONGLONG deadline = GetTickCount64() + 30000;
      while (wizard_->Worker()->GateWaits() == waits && GetTickCount64() < deadline) Sleep(1);
      stillAfterPause_ = wizard_->Worker()->GateWaits() > waits &&
                         !FileExists(installDir_ + "\\UninstallVXLite.exe");
    };
  }
  KernelHandle reached_, proceed_;
  bool stillAfterPause_ = false;
};

TEST_F(WizardCancel, NoResumesTheCopyAndTheInstallCompletes) {
  // Quick Launch folders as the prefix has them: used only where they exist.
  const bool userQuickLaunch = FolderExists(userQuickLaunch_);
  const bool commonQuickLaunch = FolderExists(commonQuickLaunch_);
  ASSERT_NO_FATAL_FAILURE(ReachCopying());
  LetGoWhileAsked();
  script_.answers = {IDNO};
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  EXPECT_TRUE(stillAfterPause_) << "the worker went on while the question was open";
  ASSERT_EQ(script_.boxes.size(), 1u);
  EXPECT_EQ(script_.boxes[0].kind, BoxKind::Confirmation);
  EXPECT_EQ(script_.boxes[0].text, "Are you sure you want to abort the installation?");
  ASSERT_TRUE(PumpUntil([&] { return SeenStep(kStepShortcutsDone); }));
  EXPECT_EQ(wizard_->State(), kStateFinished);
  EXPECT_EQ(wizard_->PageIndex(), 4);
  EXPECT_EQ(SeenOf(WM_INST_PROGRESS).size(), test::SampleItems().size());
  EXPECT_TRUE(FileExists(installDir_ + "\\SampleContent\\readme.txt"));
  EXPECT_TRUE(FileExists(Links()[0]));
  EXPECT_TRUE(FileExists(Links()[1]));
  EXPECT_EQ(FileExists(Links()[2]), userQuickLaunch);
  EXPECT_EQ(FileExists(Links()[3]), commonQuickLaunch);
  EXPECT_EQ(FolderExists(userQuickLaunch_), userQuickLaunch);  // never created
  EXPECT_EQ(FolderExists(commonQuickLaunch_), commonQuickLaunch);
}

TEST_F(WizardCancel, YesStopsTheCopyRollsBackAndFinishesWithoutTheProduct) {
  ASSERT_NO_FATAL_FAILURE(ReachCopying());
  LetGoWhileAsked();
  script_.answers = {IDYES, IDOK};
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  EXPECT_TRUE(stillAfterPause_);
  ASSERT_EQ(script_.boxes.size(), 2u);
  EXPECT_EQ(script_.boxes[1].kind, BoxKind::Information);
  EXPECT_EQ(script_.boxes[1].text,
            "Vantorex\x99 Lite installation is cancelled.\rSetup Program will perform cleanup of "
            "copied files.");
  // During the rollback neither the cancel button nor the caption button
  // does anything (an unexpected box would fail the test).
  bool triedDuringRollback = false;
  ASSERT_TRUE(PumpUntil([&] { return wizard_->State() == kStateEnded; },
                        [&](const Seen& seen) {
                          if (seen.message != WM_INST_DONE) return;
                          triedDuringRollback = true;
                          EXPECT_EQ(seen.state, kStateUndoing);
                          EXPECT_EQ(wizard_->PageIndex(), 3);
                          Click(Ctrl(*wizard_, Ctl::btnCancel));
                          SendMessageA(wizard_->Handle(), WM_CLOSE, 0, 0);
                          EXPECT_TRUE(wizard_->IsOpen());
                        }));
  EXPECT_TRUE(triedDuringRollback);
  const std::vector<Seen> done = SeenOf(WM_INST_DONE);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].final, "Installation of Vantorex\x99 Lite is cancelled by user! (Code=0");
  // Stopped after the second item, before its progress message.
  EXPECT_EQ(SeenOf(WM_INST_PROGRESS).size(), 1u);
  // Page 5 after the rollback; what the install made is gone.
  EXPECT_EQ(wizard_->PageIndex(), 4);
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::lblFinal)), "User cancelled installation.");
  EXPECT_FALSE(FileExists(installDir_ + "\\vxlite.exe"));
  EXPECT_FALSE(FileExists(installDir_ + "\\vxlancelite.exe"));
  EXPECT_FALSE(FolderExists(installDir_));
  EXPECT_FALSE(FileExists(Links()[0]));
  // "&Finish" in state 600 closes without starting the product.
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::btnCancel)), "&Finish");
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  test::Pump(*wizard_);
  EXPECT_FALSE(wizard_->IsOpen());
  EXPECT_TRUE(script_.opened.empty());
}

TEST_F(WizardInstall, UnpackFailureShowsTheErrorAndExitUndoesTheCopyBeforeClosing) {
  // A folder where an item's file goes: the file cannot be written. (A
  // read-only file would not do under Wine run as root, which writes it.)
  ASSERT_TRUE(CreateFolderPath(installDir_ + "\\UninstallVXLite.exe").value_or(false));
  const test::MachineSnapshot before({installDir_, windows_});
  script_.answers = {IDOK};
  ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
  ASSERT_TRUE(PumpUntil([&] { return !SeenOf(WM_INST_ERROR).empty(); }));
  PumpUntil([] { return false; }, nullptr, 500);  // half a second more: nothing arrives
  EXPECT_EQ(SeenOf(WM_INST_PROGRESS).size(), 2u);
  EXPECT_EQ(seen_.back().message, static_cast<UINT>(WM_INST_ERROR));
  ASSERT_EQ(script_.boxes.size(), 1u);
  EXPECT_EQ(script_.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(script_.boxes[0].text,
            "An error occurred during installation process. Error Code = -333");
  EXPECT_EQ(wizard_->State(), kStateFailed);
  EXPECT_EQ(wizard_->PageIndex(), 3);
  EXPECT_TRUE(wizard_->Worker()->IsHalted());
  ASSERT_TRUE(FileExists(installDir_ + "\\vxlite.exe"));
  // "E&xit" asks nothing: the rollback removes what the halted run copied,
  // then the window closes.
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::btnCancel)), "E&xit");
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  ASSERT_TRUE(PumpUntil([&] { return !wizard_->IsOpen(); }));
  EXPECT_EQ(script_.boxes.size(), 1u);
  const std::vector<std::string> left = test::MachineSnapshot({installDir_, windows_}).Differences(before);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
}

TEST_F(WizardInstall, ClosingInTheErrorStateUndoesTheCopyToo) {
  script_.answers = {IDOK};
  // Item 3 ("\Skins\blue.skn") cannot be written: its name is a folder.
  ASSERT_TRUE(CreateFolderPath(installDir_ + "\\Skins\\blue.skn").value_or(false));
  const test::MachineSnapshot before({installDir_, windows_});
  ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
  ASSERT_TRUE(PumpUntil([&] { return wizard_->State() == kStateFailed; }));
  ASSERT_TRUE(FileExists(installDir_ + "\\UninstallVXLite.exe"));
  SendMessageA(wizard_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(wizard_->State(), kStateUndoing);
  SendMessageA(wizard_->Handle(), WM_CLOSE, 0, 0);  // nothing while it runs
  ASSERT_TRUE(PumpUntil([&] { return !wizard_->IsOpen(); }));
  EXPECT_EQ(script_.boxes.size(), 1u);
  const std::vector<std::string> left = test::MachineSnapshot({installDir_, windows_}).Differences(before);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
}

TEST_F(WizardInstall, RefusedRegistryStepShowsItsCodeAndUndoesTheInstall) {
  ASSERT_TRUE(test::CreateWriteProtectedKey(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open"));
  const test::MachineSnapshot before({installDir_, windows_});
  ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
  // Page 5 comes once the rollback has ended.
  ASSERT_TRUE(PumpUntil([&] { return wizard_->PageIndex() == 4; }));
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::lblFinal)),
            "Setup has finished installing Vantorex Lite on your computer. (err.code=-371)");
  EXPECT_EQ(wizard_->State(), kStateEnded);
  EXPECT_FALSE(SeenStep(kStepCreatingShortcuts));
  for (const std::string& link : Links()) EXPECT_FALSE(FileExists(link)) << link;
  EXPECT_FALSE(Visible(Ctrl(*wizard_, Ctl::cboxStart)));
  const std::vector<std::string> left = test::MachineSnapshot({installDir_, windows_}).Differences(before);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
  // "&Finish" closes; nothing is started.
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  test::Pump(*wizard_);
  EXPECT_FALSE(wizard_->IsOpen());
  EXPECT_TRUE(script_.opened.empty());
}

TEST_F(WizardInstall, EscOnTheFinishPageClosesWithoutStartingTheProduct) {
  ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
  ASSERT_TRUE(PumpUntil([&] { return SeenStep(kStepShortcutsDone); }));
  ASSERT_EQ(wizard_->PageIndex(), 4);
  ASSERT_TRUE(Visible(Ctrl(*wizard_, Ctl::cboxStart)));
  ASSERT_EQ(SendMessageA(Ctrl(*wizard_, Ctl::cboxStart), BM_GETCHECK, 0, 0), BST_CHECKED);
  PostMessageA(Ctrl(*wizard_, Ctl::btnCancel), WM_KEYDOWN, VK_ESCAPE, 0);
  test::Pump(*wizard_);
  EXPECT_FALSE(wizard_->IsOpen());
  EXPECT_TRUE(script_.opened.empty());
  EXPECT_TRUE(script_.boxes.empty());
}

TEST_F(WizardInstall, ExitAnsweredAfterTheRunEndedShowsTheTrueOutcome) {
  ASSERT_NO_FATAL_FAILURE(StartInstall(test::SampleItems()));
  // Up to the worker's end: its completion is handed over and the report
  // that leads to page 5 is queued, not yet handled.
  bool ended = false;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (!ended && GetTickCount64() < deadline) {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      continue;
    }
    if (!wizard_->TranslateKeys(message)) DispatchMessageA(&message);
    ended = message.message == WM_INST_ENDED;
  }
  ASSERT_TRUE(ended);
  ASSERT_EQ(wizard_->State(), kStepUpdatingRegistry);
  // The question's own loop handles the report; then the user says "Yes".
  script_.whileOpen = [this](const std::string& text) {
    if (text == text::kAbortQuestion) test::Pump(*wizard_);
  };
  script_.answers = {IDYES};
  Click(Ctrl(*wizard_, Ctl::btnCancel));
  ASSERT_EQ(script_.boxes.size(), 1u) << "no word of a cancel";
  // The install worker's thread has ended: whatever it and the window posted
  // meanwhile is handled.
  ASSERT_TRUE(PumpUntil(
      [&] { return WaitForSingleObject(wizard_->Worker()->ThreadHandle(), 0) == WAIT_OBJECT_0; }));
  test::Pump(*wizard_);
  EXPECT_EQ(wizard_->State(), kStateFinished);
  EXPECT_EQ(wizard_->PageIndex(), 4);
  EXPECT_EQ(wizard_->Worker()->Mode.load(), ModeInstall);
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::lblFinal)),
            "Setup has finished installing Vantorex Lite on your computer");
  EXPECT_TRUE(FileExists(installDir_ + "\\vxlite.exe"));
  EXPECT_TRUE(FileExists(Links()[0]));
}

TEST_F(WizardInstall, SuccessWithoutTheProductExecutableMakesNoShortcuts) {
  ASSERT_NO_FATAL_FAILURE(StartInstall(ItemsWithoutProduct()));
  ASSERT_TRUE(PumpUntil([&] { return wizard_->PageIndex() == 4; }));
  ASSERT_TRUE(PumpUntil(
      [&] { return WaitForSingleObject(wizard_->Worker()->ThreadHandle(), 0) == WAIT_OBJECT_0; }));
  test::Pump(*wizard_);
  EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::lblFinal)),
            "Setup has finished installing Vantorex Lite on your computer. (err.code=-312)");
  EXPECT_EQ(wizard_->State(), kStateFinished);
  EXPECT_FALSE(SeenStep(kStepCreatingShortcuts));
  EXPECT_FALSE(SeenStep(kStepShortcutsDone));
  EXPECT_FALSE(FileExists(Links()[0]));
  EXPECT_FALSE(FileExists(Links()[1]));
  EXPECT_FALSE(Visible(Ctrl(*wizard_, Ctl::cboxStart)));
  // The caption button closes a finished wizard; nothing is started.
  SendMessageA(wizard_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(wizard_->IsOpen());
  EXPECT_TRUE(script_.opened.empty());
}

// ---------------------------------------------------------------- the Java note

TEST_F(WizardInstall, JavaNoteOnTheFinishPageNamesTheMissingTools) {
  struct Case {
    const char* name;
    bool jdk, wtk;
  } cases[] = {{"no tools", false, false}, {"both tools", true, true}, {"no toolkit", true, false}};
  const std::string tool = scratch_ / "tool";
  ASSERT_TRUE(CreateDirectoryA(tool.c_str(), nullptr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kJdkRegistryKey);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kJ2meToolkitKey);
    if (c.jdk) {
      ASSERT_TRUE(WriteRegistryString(std::string(kJdkRegistryKey) + "\\1.5.0_22", kJdkHomeValue,
                                      tool));
    }
    if (c.wtk) {
      ASSERT_TRUE(WriteRegistryString(std::string(kJ2meToolkitKey) + "\\2.5.1", kWtkFolderValue,
                                      tool));
    }
    // A module without a package: the install ends at once with its code and
    // the finish page is set up all the same.
    seen_.clear();
    ASSERT_NO_FATAL_FAILURE(StartInstall({}));
    ASSERT_TRUE(PumpUntil([&] { return wizard_->PageIndex() == 4; }));
    EXPECT_EQ(WindowText(Ctrl(*wizard_, Ctl::lblFinal)),
              FormatText(text::kFinishedWithCodeFormat, kNoPackageFile));
    const bool note = !c.jdk || !c.wtk;
    EXPECT_EQ(Visible(Ctrl(*wizard_, Ctl::gbNOTE)), note);
    EXPECT_EQ(Visible(Ctrl(*wizard_, Ctl::lblNote)), note);
    EXPECT_EQ(Visible(Ctrl(*wizard_, Ctl::lblJDKUrl)), !c.jdk);
    EXPECT_EQ(Visible(Ctrl(*wizard_, Ctl::lblWTKUrl)), !c.wtk);
    // Fixed places: a hidden JDK link leaves its place empty.
    const UINT dpi = wizard_->Dpi();
    const RECT jdkPlace = test::RectInParent(Ctrl(*wizard_, Ctl::lblJDKUrl));
    const RECT wtkPlace = test::RectInParent(Ctrl(*wizard_, Ctl::lblWTKUrl));
    EXPECT_EQ(jdkPlace.left, MulDiv(16, dpi, 96));
    EXPECT_EQ(jdkPlace.top, MulDiv(64, dpi, 96));
    EXPECT_EQ(wtkPlace.left, MulDiv(16, dpi, 96));
    EXPECT_EQ(wtkPlace.top, MulDiv(96, dpi, 96));
    if (!c.wtk) {
      EXPECT_EQ(test::ToolTipText(wizard_->Handle(), Ctrl(*wizard_, Ctl::lblWTKUrl)),
                std::string("link to download page (") + kWtkDownloadAddress + ")");
      SendMessageA(Ctrl(*wizard_, Ctl::lblWTKUrl), WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(Ctrl(*wizard_, Ctl::lblWTKUrl), WM_LBUTTONUP, 0, 0);
      ASSERT_EQ(script_.opened.size(), 1u);
      EXPECT_EQ(script_.opened[0], kWtkDownloadAddress);
      script_.opened.clear();
    }
    wizard_.reset();
  }
}

}  // namespace
}  // namespace vx
