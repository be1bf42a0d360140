// The whole life cycle over the real install worker: install a package that
// carries the built programs into a scratch folder, with the real Windows
// folder and registry of the prefix, then run the uninstall program the
// record names, as a user would, and find no trace left.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/registry.h"
#include "fixtures.h"
#include "install/install_thread.h"
#include "installed_layout.h"
#include "program_runner.h"
#include "wizard/wizard_window.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

constexpr DWORD kRunMs = 60000;

std::string BuiltBytes(const char* name) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(BuiltProgram(name), bytes)) << name;
  return bytes;
}

// What the wizard finds at start: a new wizard window asks the registry.
bool WizardSeesProductInstalled() {
  std::unique_ptr<TfrmInstVXLite> wizard = TfrmInstVXLite::Create(WizardOptions{});
  EXPECT_TRUE(wizard);
  return wizard && wizard->Installed();
}

std::string UninstallString() {
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  DWORD type = REG_NONE;
  std::string data;
  if (registry.OpenKeyReadOnly(kUninstallKey) != ERROR_SUCCESS ||
      registry.ReadValue("UnInstallString", type, data) != ERROR_SUCCESS || type != REG_SZ) {
    return std::string();
  }
  return data.substr(0, data.find('\0'));
}

TEST(InstallThenUninstall, TheRealWorkersInstallIsRemovedByTheUninstallProgram) {
  ASSERT_TRUE(SetupKeysGone()) << "the prefix holds an install already";
  // Whatever a failed check leaves behind must not look like an install to
  // the tests after this one.
  struct Cleanup {
    ~Cleanup() { RemoveSetupTraces(); }
  } cleanup;
  ScratchFolder scratch;
  const std::string installFolder = scratch / "VantorexLite";
  const std::vector<TestItem> items = {
      {"\\", kProductExeName, BuiltBytes(kProductExeName), DosDate(2009, 5, 3, 14, 30, 20)},
      {"\\", kLauncherExeName, BuiltBytes(kLauncherExeName), DosDate(2009, 5, 3, 14, 30, 22)},
      {"\\", "UninstallVXLite.exe", BuiltBytes("UninstallVXLite.exe"),
       DosDate(2009, 5, 3, 14, 30, 24)},
      {"\\Help", "vxlite.chm", std::string(3000, 'h'), DosDate(2009, 4, 1, 8, 0, 0)},
      {"\\Projects", "demo.vx5", "demo project\r\n", 0},
      // "\Projects\Compiled" is made only as this folder's parent.
      {"\\Projects\\Compiled\\demo", "demo.jar", std::string(500, 'J'), 0},
  };
  const std::string package = BuildTestPackage(items);
  ASSERT_FALSE(package.empty());
  PackageModuleFile carrier(scratch.path(), package);
  ASSERT_TRUE(carrier.module());

  // The install, as the wizard runs it.
  MessageSink sink;
  InstallJournal journal;
  int32_t resultCode = -1;
  {
    TVXInstallThread worker(true, ModeInstall, sink.hwnd(), &journal,
                            InstallRequest(installFolder));
    worker.PackageModule = carrier.module();
    worker.OnTerminate = [&](TVXInstallThread& ended) { resultCode = ended.ResultCode; };
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(PumpUntilSignalled(worker.ThreadHandle(), kRunMs));
  }
  ASSERT_EQ(resultCode, kInstallOk);
  SetupShortcuts shortcuts;
  ASSERT_TRUE(shortcuts.Create(installFolder));

  const std::string windows = WindowsFolder();
  const std::string uninstaller = UninstallString();
  ASSERT_EQ(uninstaller, UninstallProgramIn(windows));
  ASSERT_TRUE(FileExists(uninstaller));
  ASSERT_TRUE(FileExists(InstallLogInWindowsFolder(windows)));
  ASSERT_TRUE(FileExists(installFolder + "\\" + kProductExeName));
  ASSERT_TRUE(WizardSeesProductInstalled());

  // The product in use: it writes its own settings file, the user adds one.
  ASSERT_TRUE(WriteFileBytes(installFolder + "\\" + kReopenIniName, "[Reopen]\r\n"));
  const std::string usersFile = installFolder + "\\my notes.txt";
  ASSERT_TRUE(WriteFileBytes(usersFile, "mine"));

  StartedProgram uninstall;
  DWORD exitCode = 0xFFFFFFFF;
  ASSERT_TRUE(StartProgram(uninstaller, kSilentSwitch, uninstall));
  ASSERT_TRUE(WaitForExit(uninstall, kRunMs, exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitDone));

  for (const std::string& file : journal.Files()) {
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
  }
  const std::vector<std::string>& folders = journal.Folders();
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.front(), installFolder);
  for (size_t index = 1; index < folders.size(); ++index) {
    EXPECT_FALSE(FolderExists(folders[index])) << folders[index];
  }
  EXPECT_FALSE(FolderExists(installFolder + "\\Projects\\Compiled"));
  EXPECT_TRUE(FileExists(usersFile));
  EXPECT_TRUE(FolderExists(installFolder));
  EXPECT_TRUE(SetupKeysGone());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[0]));  // the setup made it; now empty
  EXPECT_TRUE(shortcuts.Gone());
  EXPECT_FALSE(FileExists(InstallLogInWindowsFolder(windows)));
  EXPECT_TRUE(WaitUntilGone(uninstaller, kRunMs));
  EXPECT_FALSE(WizardSeesProductInstalled());
}

}  // namespace
}  // namespace vx::test
