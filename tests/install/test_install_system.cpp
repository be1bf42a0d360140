// The worker against the prefix's own folders: the real Windows folder and
// the "c:\temp" fallback for a missing temporary folder. These touch state
// shared by the whole prefix, so the program runs alone.
#include <gtest/gtest.h>

#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/registry.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

// Keeps a file of the real Windows folder as it was.
class PreservedFile {
 public:
  explicit PreservedFile(std::string path) : path_(std::move(path)) {
    existed_ = ReadFileBytes(path_, bytes_);
  }
  ~PreservedFile() {
    if (existed_) {
      WriteFileBytes(path_, bytes_);
    } else {
      DeleteFileA(path_.c_str());
    }
  }

 private:
  std::string path_;
  std::string bytes_;
  bool existed_ = false;
};

class SystemFoldersTest : public WorkerTest {
 protected:
  // Points TMP and TEMP at a folder that does not exist.
  void LoseTheTemporaryFolder() {
    const std::string missing = scratch_ / "no-temp";
    SetEnvironmentVariableA("TMP", missing.c_str());
    SetEnvironmentVariableA("TEMP", missing.c_str());
  }
  static std::string FallbackFolder() {
    std::string folder = kTempFallbackFolder;
    folder.pop_back();
    return folder;
  }
};

TEST_F(SystemFoldersTest, CompleteRunUsesTheRealWindowsFolder) {
  const std::string windows = WindowsFolder();
  ASSERT_TRUE(FolderExists(windows));
  PreservedFile log(InstallLogInWindowsFolder(windows));
  PreservedFile uninstaller(UninstallProgramIn(windows));
  DeleteFileA(InstallLogInWindowsFolder(windows).c_str());

  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  auto worker = std::make_unique<TVXInstallThread>(true, ModeInstall, sink_->hwnd(), &journal_,
                                                   InstallRequest(installDir_));
  worker->PackageModule = carrier.module();
  int calls = 0;
  worker->OnTerminate = [&calls](TVXInstallThread&) { ++calls; };
  EXPECT_EQ(worker->WindowsFolder, windows);
  ASSERT_TRUE(RunToEnd(*worker));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(worker->ResultCode, kInstallOk);

  EXPECT_TRUE(FileExists(UninstallProgramIn(windows)));
  EXPECT_FALSE(FileExists(installDir_ + "\\UninstallVXLite.exe"));
  RegistryAccess machine(HKEY_LOCAL_MACHINE, KEY_READ);
  ASSERT_EQ(machine.OpenKey(kUninstallKey, false), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(machine.ReadValue("UnInstallString", type, data), ERROR_SUCCESS);
  EXPECT_EQ(data, UninstallProgramIn(windows) + '\0');

  char files[16] = {};
  GetPrivateProfileStringA("Document", "Files", "", files, sizeof files,
                           InstallLogInWindowsFolder(windows).c_str());
  EXPECT_EQ(std::string(files), std::to_string(journal_.Files().size() - 1));
  EXPECT_FALSE(FileExists(InstallLogInInstallFolder(installDir_)));
}

TEST_F(SystemFoldersTest, MissingTemporaryFolderFallsBackToCTemp) {
  const bool hadFallback = FolderExists(FallbackFolder());
  // The resource is written first: updating it needs the temporary folder.
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  ASSERT_TRUE(carrier.module());
  LoseTheTemporaryFolder();
  auto worker = MakeWorker(ModeInstall, carrier.module());
  std::string path;
  worker->ExtractPackage(path);
  EXPECT_EQ(worker->ResultCode, kInstallOk);
  EXPECT_TRUE(IsPrivatePackagePath(path, kTempFallbackFolder)) << path;
  EXPECT_TRUE(FileExists(path));
  worker.reset();
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(PackageFoldersIn(FallbackFolder()).empty());
  if (!hadFallback) {
    EXPECT_TRUE(RemoveDirectoryA(FallbackFolder().c_str()));
  }
}

TEST_F(SystemFoldersTest, UnusableFallbackFolderEndsTheExtraction) {
  if (FolderExists(FallbackFolder()) || FileExists(FallbackFolder())) {
    GTEST_SKIP() << "this prefix already has " << FallbackFolder();
  }
  // A file where the fallback folder would go: it cannot be created.
  ASSERT_TRUE(WriteFileBytes(FallbackFolder(), "not a folder"));
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  ASSERT_TRUE(carrier.module());
  LoseTheTemporaryFolder();

  auto direct = MakeWorker(ModeInstall, carrier.module());
  std::string path = "unchanged";
  direct->ExtractPackage(path);
  EXPECT_EQ(direct->ResultCode, kExtractNoFolder);
  EXPECT_EQ(path, "unchanged");
  EXPECT_GT(direct->PackageSize, 0);

  // Without a cancel the run ends with -111; with a cancel confirmed during
  // the extraction, with the extraction's own code.
  auto run = MakeWorker(ModeInstall, carrier.module());
  ASSERT_TRUE(RunToEnd(*run));
  EXPECT_EQ(callback_.mode, ModeInstall);
  EXPECT_EQ(callback_.resultCode, kNoPackageFile);

  auto cancelled = MakeWorker(ModeInstall, carrier.module());
  cancelled->CheckPointObserver = [](TVXInstallThread& w, CheckPoint point, int32_t) {
    if (point == CheckPoint::AfterExtraction) {
      // A cancel confirmed while the extraction ran takes effect here.
      w.Mode = ModeCancelled;
      w.CancelRequested = true;
    }
  };
  ASSERT_TRUE(RunToEnd(*cancelled));
  EXPECT_EQ(callback_.mode, ModeCancelled);
  EXPECT_EQ(callback_.resultCode, kExtractNoFolder);
  EXPECT_TRUE(DeleteFileA(FallbackFolder().c_str()));
}

}  // namespace
}  // namespace vx::test
