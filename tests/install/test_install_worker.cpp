// The install worker's lifecycle, step sequence, extraction and unpacking:
// real threads, real files, real posted messages to a hidden window.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>
#include <numeric>

#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/sha256.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

// The messages of a complete run of a package of the given items.
std::vector<Posted> CompleteRunMessages(const std::vector<TestItem>& items, int32_t packageSize) {
  std::vector<Posted> expected = {Step(kStepExtracting), Step(kStepCreatingFolders, packageSize),
                                  Step(kStepExtracting), Step(kStepCopyingFiles)};
  WPARAM bytes = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    bytes += items[i].content.size();
    expected.push_back(Progress(bytes, static_cast<LPARAM>(i)));
  }
  expected.push_back(Step(kStepUpdatingRegistry, packageSize));
  return expected;
}

// A valid two-item package of exactly the given size.
std::string PackageOfSize(size_t size) {
  std::string filler;
  std::string bytes;
  for (int attempt = 0; attempt < 8; ++attempt) {
    bytes = BuildTestPackage({{"\\", "a.txt", filler, 0}, {"\\", "b.txt", "b", 0}});
    if (bytes.size() == size) return bytes;
    filler.resize(filler.size() + size - bytes.size(), 'f');
  }
  return std::string();
}

class InstallWorkerTest : public WorkerTest {
 protected:
  // Makes the worker pause itself at one check point and signals the test,
  // which then acts as the window does while its cancel question is open.
  void PauseAt(TVXInstallThread& worker, CheckPoint point, int32_t item = -1) {
    reached_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE reached = reached_.get();
    worker.CheckPointObserver = [=](TVXInstallThread& w, CheckPoint at, int32_t index) {
      if (at == point && index == item) {
        w.Pause();
        SetEvent(reached);
      }
    };
  }
  // Waits for the pause, then confirms a cancel and resumes the worker.
  void CancelWhenPaused(TVXInstallThread& worker) {
    ASSERT_TRUE(PumpUntilSignalled(reached_.get()));
    worker.Mode = ModeCancelled;
    worker.CancelRequested = true;
    ASSERT_TRUE(worker.Resume());
  }
  // The worker's private copies of the package still in the temporary folder.
  std::vector<std::string> PackageCopies() const { return PackageFoldersIn(temp_); }

  KernelHandle reached_;
};

TEST_F(InstallWorkerTest, CompleteRunPostsEveryStepAndWritesFilesWithTheirDates) {
  const std::vector<TestItem> items = SampleItems();
  const std::string package = BuildTestPackage(items);
  ASSERT_FALSE(package.empty());
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module());
  ASSERT_TRUE(RunToEnd(*worker));

  const auto size = static_cast<int32_t>(package.size());
  EXPECT_EQ(sink_->messages, CompleteRunMessages(items, size));
  EXPECT_EQ(callback_.calls, 1);
  EXPECT_EQ(callback_.threadId, GetCurrentThreadId());
  EXPECT_EQ(callback_.mode, ModeInstall);
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  EXPECT_EQ(worker->PackageSize, size);
  EXPECT_TRUE(IsPrivatePackagePath(worker->TempPackageFile, temp_)) << worker->TempPackageFile;
  EXPECT_FALSE(FileExists(worker->TempPackageFile));
  EXPECT_TRUE(PackageCopies().empty());

  // Folders created, in order, "\Projects\Compiled" (made only as a parent)
  // included, so that a rollback or an uninstall removes it too.
  EXPECT_EQ(journal_.Folders(), (std::vector<std::string>{installDir_, installDir_ + "\\Skins",
                                                 installDir_ + "\\Projects",
                                                 installDir_ + "\\Projects\\Compiled",
                                                 installDir_ + "\\Projects\\Compiled\\demo",
                                                 installDir_ + "\\SampleContent"}));
  std::vector<std::string> expectedFiles;
  for (const TestItem& item : items) {
    std::string folder = item.folder == "\\" ? installDir_ : installDir_ + item.folder;
    expectedFiles.push_back(folder + "\\" + item.name);
  }
  ASSERT_EQ(worker->Items.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(worker->Items[i].FileName, expectedFiles[i]);
  }
  expectedFiles.push_back(installDir_ + "\\reopen.ini");
  EXPECT_EQ(journal_.Files(), expectedFiles);

  for (size_t i = 0; i < items.size(); ++i) {
    // The uninstall program has moved on into the Windows folder.
    std::string path = items[i].name == "UninstallVXLite.exe"
                           ? UninstallProgramIn(windows_)
                           : expectedFiles[i];
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes)) << path;
    EXPECT_EQ(bytes, items[i].content) << path;
    SYSTEMTIME written = LocalWriteTime(path);
    std::optional<DosDateTime> date = UnpackDosDateTime(items[i].date);
    if (items[i].date <= 0) {
      SYSTEMTIME now{};
      GetLocalTime(&now);
      EXPECT_EQ(written.wYear, now.wYear) << path << " keeps the time it was written";
      continue;
    }
    ASSERT_TRUE(date);
    EXPECT_EQ(written.wYear, date->year) << path;
    EXPECT_EQ(written.wMonth, date->month) << path;
    EXPECT_EQ(written.wDay, date->day) << path;
    EXPECT_EQ(written.wHour, date->hour) << path;
    EXPECT_EQ(written.wMinute, date->minute) << path;
    EXPECT_EQ(written.wSecond, date->second) << path;
  }

  worker.reset();
  EXPECT_TRUE(PumpUntil([&] { return !Only(WM_INST_FREED).empty(); }));
  EXPECT_EQ(callback_.calls, 1);
}

TEST_F(InstallWorkerTest, InstallFolderWithTrailingBackslashIsUsedAndRecordedWithoutIt) {
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));  // exists: not recorded
  auto worker = MakeWorker(ModeInstall, carrier.module(), InstallRequest(installDir_ + "\\"));
  ASSERT_TRUE(RunToEnd(*worker));
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  EXPECT_EQ(worker->InstallFolder, installDir_);
  ASSERT_FALSE(journal_.Folders().empty());
  EXPECT_EQ(journal_.Folders().front(), installDir_ + "\\Skins");
  EXPECT_EQ(journal_.Files().front(), installDir_ + "\\vxlite.exe");
  EXPECT_EQ(journal_.Files().back(), installDir_ + "\\reopen.ini");
}

struct EarlyEnd {
  const char* name;
  std::string package;  // empty: the module has no package resource
  bool tempFolderTooLong;
  bool noInstallFolder;
  int32_t code;
  // The digest the module records; none given: the package's own.
  std::optional<std::string> recordedDigest = std::nullopt;
};

// The package with one byte changed, as a damaged download has it.
std::string WithOneByteChanged(std::string bytes, size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  return bytes;
}

TEST_F(InstallWorkerTest, RunEndsEarlyWithItsCodeAndLeavesNoTemporaryFile) {
  const std::string valid = BuildTestPackage(SampleItems());
  const EarlyEnd cases[] = {
      {"no resource", "", false, false, kNoPackageFile},
      {"temporary file cannot be written", valid, true, false, kNoPackageFile},
      {"package of 999 bytes", PackageOfSize(999), false, false, kPackageTooSmall},
      {"empty install folder", valid, false, true, kNoInstallFolder},
      // The digest the build recorded is that of the intact package.
      {"one byte of the package changed", WithOneByteChanged(valid, valid.size() / 2), false,
       false, kPackageDamaged, DigestToHex(Sha256Of(valid))},
      {"package cut short", valid.substr(0, valid.size() - 1), false, false, kPackageDamaged,
       DigestToHex(Sha256Of(valid))},
      {"no digest recorded", valid, false, false, kPackageDamaged, ""},
  };
  for (const EarlyEnd& c : cases) {
    SCOPED_TRACE(c.name);
    DrainMessages();
    callback_ = {};
    PackageModuleFile carrier(scratch_.path(), c.package, c.recordedDigest);
    ASSERT_TRUE(carrier.module());
    // A temporary folder so deep that no private folder fits below it.
    const std::string deep = temp_ + "\\" + std::string(240 - temp_.size(), 'd');
    std::optional<TempFolderOverride> deepTemp;
    if (c.tempFolderTooLong) {
      ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
      deepTemp.emplace(deep);
    }
    auto worker = MakeWorker(ModeInstall, carrier.module(),
                             InstallRequest(c.noInstallFolder ? std::string() : installDir_));
    ASSERT_TRUE(RunToEnd(*worker));
    EXPECT_EQ(sink_->messages, std::vector<Posted>{Step(kStepExtracting)});
    EXPECT_EQ(callback_.calls, 1);
    EXPECT_EQ(callback_.mode, ModeInstall);
    EXPECT_EQ(callback_.resultCode, c.code);
    EXPECT_TRUE(PackageCopies().empty());
    EXPECT_FALSE(FolderExists(installDir_));
    if (c.tempFolderTooLong) {
      EXPECT_TRUE(PackageFoldersIn(deep).empty());
      deepTemp.reset();
      EXPECT_TRUE(RemoveDirectoryA(deep.c_str()));
    }
  }
}

TEST_F(InstallWorkerTest, PackageOfExactly1000BytesPassesTheSizeCheck) {
  const std::string package = PackageOfSize(1000);
  ASSERT_EQ(package.size(), 1000u);
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module());
  ASSERT_TRUE(RunToEnd(*worker));
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  EXPECT_EQ(worker->PackageSize, 1000);
  EXPECT_TRUE(FileExists(installDir_ + "\\b.txt"));
}

// ------------------------------------------------------------ unpack failures

struct UnpackFailure {
  const char* name;
  std::string package;  // written to the temporary folder as the package file
  // Prepares the failure; what it returns is held open during the call.
  std::function<std::shared_ptr<FileHandle>(std::string& packagePath, std::string& folderArgument)>
      prepare;
  int32_t code;
  int32_t errorItem;
  size_t progressMessages;
};

std::shared_ptr<FileHandle> Nothing(std::string&, std::string&) {
  return nullptr;
}

std::shared_ptr<FileHandle> HoldOpen(const std::string& path, DWORD access, DWORD share) {
  return std::make_shared<FileHandle>(CreateFileA(path.c_str(), access, share, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST_F(InstallWorkerTest, EachFailureEndsWithItsCodeAndOneErrorMessage) {
  const std::string three = BuildTestPackage({{"\\", "a.txt", "aaaaaaaaaa", 0},
                                              {"\\Skins", "b.skn", "bbbb", 0},
                                              {"\\Skins", "c.skn", "cc", 0}});
  const std::string folders = installDir_;
  const UnpackFailure cases[] = {
      {"package file missing", three,
       [](std::string& package, std::string&) {
         package += ".missing";
         return nullptr;
       },
       kUnpackNoPackage, 0, 0},
      {"install folder of one character", three,
       [](std::string&, std::string& folder) {
         folder = " C\t";
         return nullptr;
       },
       kUnpackFolderTooShort, 0, 0},
      {"install folder below a file", three,
       [folders](std::string&, std::string& folder) {
         WriteFileBytes(folders + ".file", "x");
         folder = folders + ".file\\sub";
         return nullptr;
       },
       kUnpackFolderNotCreated, 0, 0},
      {"item list of one line", BuildTestPackage({{"\\", "a.txt", "a", 0}}), Nothing,
       kUnpackListTooShort, 0, 0},
      {"one valid record of two", RawTestPackage("ab", {"\\, a.txt, 99, 1, 0|",
                                                        "\\, b.txt, 100, one, 0|"}),
       Nothing, kUnpackTooFewRecords, 0, 0},
      {"package held open for writing", three,
       [](std::string& package, std::string&) {
         return HoldOpen(package, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
       },
       kUnpackCannotOpen, 0, 0},
      {"range past the package end", RawTestPackage("ab", {"\\, a.txt, 99, 2, 0|",
                                                           "\\, b.txt, 100, 5000, 0|"}),
       Nothing, kUnpackCannotRead, 1, 1},
      {"size that cannot be allocated", RawTestPackage("ab", {"\\, a.txt, 99, 2147483647, 0|",
                                                              "\\, b.txt, 99, 1, 0|"}),
       Nothing, kUnpackCannotRead, 0, 0},
      {"negative size", RawTestPackage("ab", {"\\, a.txt, 99, -5, 0|", "\\, b.txt, 99, 1, 0|"}),
       Nothing, kUnpackCannotRead, 0, 0},
      {"negative offset", RawTestPackage("ab", {"\\, a.txt, -5, 1, 0|", "\\, b.txt, 99, 1, 0|"}),
       Nothing, kUnpackCannotRead, 0, 0},
      {"item folder blocked by a file", three,
       [folders](std::string&, std::string&) {
         CreateDirectoryA(folders.c_str(), nullptr);
         WriteFileBytes(folders + "\\Skins", "x");
         return nullptr;
       },
       kUnpackItemFolderNotCreated, 1, 1},
      {"target is a folder", three,
       [folders](std::string&, std::string&) {
         CreateFolderPath(folders + "\\Skins\\c.skn");
         return nullptr;
       },
       kUnpackCannotWrite, 2, 2},
      {"target held open by another program", three,
       [folders](std::string&, std::string&) {
         CreateDirectoryA(folders.c_str(), nullptr);
         return HoldOpen(folders + "\\a.txt", GENERIC_READ, 0);
       },
       kUnpackCannotWrite, 0, 0},
  };
  for (const UnpackFailure& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.package.empty());
    RemoveTree(installDir_);
    DeleteFileA((installDir_ + ".file").c_str());
    DrainMessages();
    journal_.Clear();
    std::string package = temp_ + "\\case.pck";
    ASSERT_TRUE(WriteFileBytes(package, c.package));
    std::string folder = installDir_;
    std::shared_ptr<FileHandle> held = c.prepare(package, folder);
    // The worker passes its own folder.
    auto worker = MakeWorker(ModeInstall, nullptr, InstallRequest(folder));

    EXPECT_EQ(worker->UnpackPackage(package, folder), UnpackOutcome::Failed);
    held.reset();
    EXPECT_EQ(worker->ResultCode, c.code);
    PumpPending();
    ASSERT_FALSE(sink_->messages.empty());
    EXPECT_EQ(sink_->messages.back(), Error(c.code, c.errorItem));
    EXPECT_EQ(Only(WM_INST_ERROR).size(), 1u);
    EXPECT_EQ(Only(WM_INST_PROGRESS).size(), c.progressMessages);
    // What was written stays recorded for a rollback. The failing item's
    // file was never opened for writing here: it is not recorded, so a
    // rollback cannot delete a file that stood at its name.
    if (c.code == kUnpackCannotRead || c.code == kUnpackCannotWrite) {
      EXPECT_EQ(journal_.Files().size(), static_cast<size_t>(c.errorItem));
    }
  }
}

// In a folder the run made, items are made new without a look first: a file
// another program put there meanwhile is neither written over nor listed as
// the run's (a rollback leaves it), and the unpack ends with -333.
TEST_F(InstallWorkerTest, AFileThatAppearsInAFolderTheRunMadeIsLeftAlone) {
  const std::string package = BuildTestPackage({{"\\", "a.txt", "aaaa", 0},
                                                {"\\", "b.txt", "bbbb", 0}});
  const std::string planted = installDir_ + "\\b.txt";
  auto worker = MakeWorker(ModeInstall, nullptr);
  worker->CheckPointObserver = [&](TVXInstallThread&, CheckPoint point, int32_t item) {
    if (point == CheckPoint::BeforeItem && item == 1) WriteFileBytes(planted, "planted");
  };
  const std::string path = temp_ + "\\planted.pck";
  ASSERT_TRUE(WriteFileBytes(path, package));
  EXPECT_EQ(worker->UnpackPackage(path, installDir_), UnpackOutcome::Failed);
  EXPECT_EQ(worker->ResultCode, kUnpackCannotWrite);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(planted, bytes));
  EXPECT_EQ(bytes, "planted");
  EXPECT_EQ(journal_.Files(), std::vector<std::string>{installDir_ + "\\a.txt"});
}

TEST_F(InstallWorkerTest, UnpackFailureHaltsTheWorkerForGood) {
  const std::vector<TestItem> items = SampleItems();
  const std::string package = BuildTestPackage(items);
  PackageModuleFile carrier(scratch_.path(), package);
  // Item 2's target is a folder: it cannot be written.
  ASSERT_TRUE(CreateFolderPath(installDir_ + "\\UninstallVXLite.exe").value_or(false));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  ASSERT_TRUE(worker->Start());
  // Halted: its thread waits, and everything it posted has arrived.
  ASSERT_TRUE(PumpUntilWaitingAtGate(*worker, 0));
  const auto size = static_cast<int32_t>(package.size());
  const std::vector<Posted> expected = {
      Step(kStepExtracting), Step(kStepCreatingFolders, size), Step(kStepExtracting),
      Step(kStepCopyingFiles), Progress(400, 0), Progress(700, 1), Error(kUnpackCannotWrite, 2)};
  EXPECT_EQ(sink_->messages, expected);
  EXPECT_TRUE(worker->IsHalted());

  // The window's cancel question pauses and resumes it: it wakes, waits
  // again, and still posts nothing.
  const uint32_t waits = worker->GateWaits();
  EXPECT_TRUE(worker->Pause());
  EXPECT_TRUE(worker->Resume());
  ASSERT_TRUE(PumpUntilWaitingAtGate(*worker, waits));
  EXPECT_EQ(sink_->messages, expected);
  EXPECT_EQ(callback_.calls, 0);
  EXPECT_EQ(sink_->relaysHandled, 0);
  EXPECT_TRUE(worker->IsRunning());
  // The package copy went before the halt, which lasts until the window closes.
  EXPECT_TRUE(PackageCopies().empty());

  worker.reset();  // ends the halted thread
  EXPECT_TRUE(PumpUntil([&] { return !Only(WM_INST_FREED).empty(); }));
  EXPECT_EQ(callback_.calls, 0);
}

// ------------------------------------------------------------ the package copy

// Starts a test program with the given arguments; null handle on failure.
KernelHandle StartProgram(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return KernelHandle();
  }
  CloseHandle(process.hThread);
  return KernelHandle(process.hProcess);
}

TEST_F(InstallWorkerTest, AnotherProgramCannotChangeThePackageCopy) {
  const std::vector<TestItem> items = SampleItems();
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(items));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  // The copy is written and not yet read: where the swap used to happen.
  PauseAt(*worker, CheckPoint::AfterExtraction);
  const std::string stopName = "VxPackagePeerStop" + std::to_string(GetCurrentProcessId());
  KernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, stopName.c_str()));
  KernelHandle triedOnce(CreateEventA(nullptr, TRUE, FALSE, (stopName + "Tried").c_str()));
  const std::string report = scratch_.path() + "\\peer.txt";
  KernelHandle peer = StartProgram(TestProgramPath("vx_package_peer.exe"),
                                   "swap \"" + temp_ + "\" " + stopName + " \"" + report + "\"");
  ASSERT_TRUE(peer);
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpUntilSignalled(reached_.get()));

  // The copy's folder is made for Administrators and SYSTEM only. Wine
  // neither enforces nor keeps such rights (it reads back rights of its own
  // making), so what is shown here is what Wine does enforce: the share
  // modes of the handles the worker holds on the copy and its folder.
  // The peer tries everything at least once while the copy waits to be read.
  ASSERT_TRUE(PumpUntilSignalled(triedOnce.get()));
  ASSERT_TRUE(worker->Resume());
  ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));
  SetEvent(stop.get());
  ASSERT_EQ(WaitForSingleObject(peer.get(), 30000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ASSERT_TRUE(GetExitCodeProcess(peer.get(), &exitCode));
  EXPECT_EQ(exitCode, 0u);

  std::string seen;
  ASSERT_TRUE(ReadFileBytes(report, seen));
  // Nothing but the closing count: every attempt failed.
  EXPECT_EQ(seen.rfind("seen ", 0), 0u) << seen;
  EXPECT_EQ(seen.find("seen 0 "), std::string::npos) << "the peer never found the copy";
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  for (size_t i = 0; i < items.size(); ++i) {
    std::string bytes;
    if (items[i].name == "UninstallVXLite.exe") continue;  // moved on to the Windows folder
    ASSERT_TRUE(ReadFileBytes(worker->Items[i].FileName, bytes));
    EXPECT_EQ(bytes, items[i].content) << worker->Items[i].FileName;
  }
  EXPECT_TRUE(PackageCopies().empty());
}

TEST_F(InstallWorkerTest, ThePackageCopyGoesWithTheProcessThatMadeIt) {
  const std::string report = scratch_.path() + "\\held.txt";
  KernelHandle holder = StartProgram(TestProgramPath("vx_package_peer.exe"),
                                     "hold \"" + temp_ + "\" \"" + report + "\"");
  ASSERT_TRUE(holder);
  std::string path;
  ASSERT_TRUE(PumpUntil([&] { return ReadFileBytes(report, path) && !path.empty(); }));
  EXPECT_TRUE(IsPrivatePackagePath(path, temp_)) << path;
  EXPECT_TRUE(FileExists(path));
  ASSERT_TRUE(TerminateProcess(holder.get(), 9));
  ASSERT_EQ(WaitForSingleObject(holder.get(), 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(PumpUntil([&] { return !FileExists(path) && PackageCopies().empty(); }, 5000))
      << path;
}

// ------------------------------------------------------------ cancel

TEST_F(InstallWorkerTest, CancelDuringExtractionEndsWithTheExtractionCode) {
  const struct {
    const char* name;
    std::string package;
    int32_t code;
  } cases[] = {{"extraction succeeded", BuildTestPackage(SampleItems()), kInstallOk},
               {"no resource", "", kExtractNoResource}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrainMessages();
    callback_ = {};
    PackageModuleFile carrier(scratch_.path(), c.package);
    auto worker = MakeWorker(ModeInstall, carrier.module());
    PauseAt(*worker, CheckPoint::AfterExtraction);
    ASSERT_TRUE(worker->Start());
    CancelWhenPaused(*worker);
    ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));
    EXPECT_EQ(sink_->messages, std::vector<Posted>{Step(kStepExtracting)});
    EXPECT_EQ(callback_.calls, 1);
    EXPECT_EQ(callback_.mode, ModeCancelled);
    EXPECT_EQ(callback_.resultCode, c.code);
    EXPECT_FALSE(FolderExists(installDir_));
    EXPECT_TRUE(journal_.Folders().empty());
    EXPECT_TRUE(journal_.Files().empty());
    // The package copy goes with the cancel, not later with the worker.
    EXPECT_TRUE(PackageCopies().empty());
    worker.reset();
  }
}

// A cancel confirmed while the package copy is being written stops it
// between two pieces: the run ends with the extraction's write code, and no
// copy is left.
TEST_F(InstallWorkerTest, CancelDuringTheCopyStopsItBetweenPieces) {
  PackageModuleFile carrier(scratch_.path(),
                            BuildTestPackage({{"\\", "a.bin", std::string(3 << 20, 'a'), 0},
                                              {"\\", "b.txt", "b", 0}}));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  worker->CheckPointObserver = [](TVXInstallThread& self, CheckPoint point, int32_t) {
    if (point == CheckPoint::BeforeExtraction) self.RequestCancel();
  };
  ASSERT_TRUE(RunToEnd(*worker));
  EXPECT_EQ(sink_->messages, std::vector<Posted>{Step(kStepExtracting)});
  EXPECT_EQ(callback_.mode, ModeCancelled);
  EXPECT_EQ(callback_.resultCode, kExtractWriteFailed);
  EXPECT_TRUE(worker->TempPackageFile.empty());
  EXPECT_TRUE(PackageCopies().empty());
  EXPECT_FALSE(FolderExists(installDir_));
}

// The copy is read through a window of bounded size that moves along: bytes
// on both sides of the window's end, the package's last bytes, and the whole
// copy piece by piece all read back as written.
TEST_F(InstallWorkerTest, ThePackageCopyIsReadThroughAMovingWindowOfBoundedSize) {
  std::string bytes(5 * TempPackage::kWindowBytes + 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 8);
  TempPackage package;
  // A small package first: its window is as small, and the next package,
  // made by the same object, must not be read into it.
  ASSERT_EQ(package.Create(temp_ + "\\", "vxpack.pck", "tiny", 4),
            TempPackage::CreateResult::Written);
  ASSERT_EQ(package.Read(0, 4), "tiny");
  int asked = 0;
  ASSERT_EQ(package.Create(temp_ + "\\", "vxpack.pck", bytes.data(),
                           static_cast<DWORD>(bytes.size()), [&] { return ++asked > 0; }),
            TempPackage::CreateResult::Written);
  EXPECT_EQ(asked, static_cast<int>((bytes.size() - 1) / (256 * 1024)));  // between pieces
  const uint64_t size = bytes.size();
  const uint64_t windowEnd = TempPackage::kWindowBytes;
  const struct {
    uint64_t offset;
    size_t wanted;
    size_t expected;
  } reads[] = {{0, 10, 10},
               {windowEnd - 5, 10, 10},    // across the window's end: it moves
               {100, 5, 5},                // back to the start
               {size - 3, 10, 3},          // cut at the package's end
               {size, 1, 0},               // past it
               {0, bytes.size(), TempPackage::kWindowBytes}};  // one window at most
  for (const auto& r : reads) {
    SCOPED_TRACE(r.offset);
    const std::string_view got = package.Read(r.offset, r.wanted);
    ASSERT_EQ(got.size(), r.expected);
    EXPECT_TRUE(got == std::string_view(bytes).substr(r.offset, r.expected));
  }
  std::string whole(bytes.size(), '\0');
  ASSERT_TRUE(package.CopyOut(0, whole.size(), whole.data()));
  EXPECT_TRUE(whole == bytes);
  EXPECT_FALSE(package.CopyOut(size - 1, 2, whole.data()));

  // Told to stop, the copy ends between pieces and leaves nothing.
  asked = 0;
  EXPECT_EQ(package.Create(temp_ + "\\", "vxpack.pck", bytes.data(),
                           static_cast<DWORD>(bytes.size()), [&] { return ++asked < 3; }),
            TempPackage::CreateResult::Stopped);
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(package.IsOpen());
  EXPECT_TRUE(PackageCopies().empty());
}

TEST_F(InstallWorkerTest, CancelAfterAnItemKeepsItAndPostsNothingMore) {
  const std::vector<TestItem> items = SampleItems();
  const std::string package = BuildTestPackage(items);
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module());
  PauseAt(*worker, CheckPoint::AfterItem, 3);
  ASSERT_TRUE(worker->Start());
  CancelWhenPaused(*worker);
  ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));

  const auto size = static_cast<int32_t>(package.size());
  const std::vector<Posted> expected = {
      Step(kStepExtracting), Step(kStepCreatingFolders, size), Step(kStepExtracting),
      Step(kStepCopyingFiles), Progress(400, 0), Progress(700, 1), Progress(950, 2)};
  EXPECT_EQ(sink_->messages, expected);
  EXPECT_EQ(callback_.calls, 1);
  EXPECT_EQ(callback_.mode, ModeCancelled);
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  EXPECT_TRUE(FileExists(installDir_ + "\\Skins\\blue.skn"));
  EXPECT_FALSE(FolderExists(installDir_ + "\\Projects"));
  EXPECT_EQ(journal_.Files(), (std::vector<std::string>{
                        installDir_ + "\\vxlite.exe", installDir_ + "\\vxlancelite.exe",
                        installDir_ + "\\UninstallVXLite.exe", installDir_ + "\\Skins\\blue.skn",
                        installDir_ + "\\reopen.ini"}));
  EXPECT_TRUE(PackageCopies().empty());
  // Nothing of the registry steps ran.
  EXPECT_FALSE(RegistryAccess(HKEY_CLASSES_ROOT).KeyExists(kProjectExtension));
}

TEST_F(InstallWorkerTest, CancelDuringTheRegistryStepsDoesNotStopThem) {
  const std::vector<TestItem> items = SampleItems();
  const std::string package = BuildTestPackage(items);
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module());
  PauseAt(*worker, CheckPoint::BeforeExplorerFileExts);
  ASSERT_TRUE(worker->Start());
  CancelWhenPaused(*worker);
  ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));

  EXPECT_EQ(sink_->messages, CompleteRunMessages(items, static_cast<int32_t>(package.size())));
  EXPECT_EQ(callback_.calls, 1);
  EXPECT_EQ(callback_.mode, ModeCancelled);
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  RegistryAccess user(HKEY_CURRENT_USER);
  EXPECT_TRUE(user.KeyExists(std::string(kExplorerFileExtsKey) + "\\.vx5\\UserChoice"));
  EXPECT_TRUE(RegistryAccess(HKEY_LOCAL_MACHINE).KeyExists(kUninstallKey));
  EXPECT_TRUE(FileExists(InstallLogInWindowsFolder(windows_)));
}

TEST_F(InstallWorkerTest, RollbackAfterACancelMidCopyRemovesWhatTheRunCreated) {
  const std::vector<TestItem> items = SampleItems();
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(items));
  ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));  // the user's own folder
  ASSERT_TRUE(WriteFileBytes(installDir_ + "\\notes.txt", "mine"));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  PauseAt(*worker, CheckPoint::AfterItem, 5);  // "\Projects\Compiled\demo\demo.jar"
  ASSERT_TRUE(worker->Start());
  CancelWhenPaused(*worker);
  ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));
  ASSERT_EQ(callback_.mode, ModeCancelled);
  ASSERT_TRUE(FileExists(installDir_ + "\\Projects\\Compiled\\demo\\demo.jar"));

  const size_t messagesBefore = sink_->messages.size();
  callback_ = {};
  auto rollback = MakeWorker(ModeRollback, nullptr);
  ASSERT_TRUE(RunToEnd(*rollback));
  EXPECT_EQ(callback_.calls, 1);
  EXPECT_EQ(callback_.mode, ModeRollback);
  EXPECT_EQ(sink_->messages.size(), messagesBefore) << "a rollback posts no message";

  for (const std::string& file : journal_.Files()) EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_FALSE(FolderExists(installDir_ + "\\Skins"));
  EXPECT_FALSE(FolderExists(installDir_ + "\\Projects\\Compiled\\demo"));
  // Created only as a parent, and listed: removed as well.
  EXPECT_FALSE(FolderExists(installDir_ + "\\Projects\\Compiled"));
  EXPECT_FALSE(FolderExists(installDir_ + "\\Projects"));
  // The install folder existed before and holds the user's file.
  EXPECT_TRUE(FileExists(installDir_ + "\\notes.txt"));
}

// Another program of the user turned a folder of an earlier install into a
// link to a folder of its choice: the elevated run writes nothing through
// it, and its rollback deletes nothing through it.
TEST_F(InstallWorkerTest, NothingIsWrittenOrDeletedThroughALinkInTheInstallFolder) {
  test::ScratchFolder elsewhere;
  ASSERT_TRUE(WriteFileBytes(elsewhere / "blue.skn", "the user's own"));
  ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
  ASSERT_TRUE(test::PlantLink(installDir_ + "\\Skins", elsewhere.path()));
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  ASSERT_TRUE(worker->Start());
  // Halted, and its error message is in.
  ASSERT_TRUE(PumpUntil([&] { return worker->IsHalted() && !Only(WM_INST_ERROR).empty(); }));
  EXPECT_EQ(worker->ResultCode, kUnpackCannotWrite);
  EXPECT_EQ(Only(WM_INST_ERROR), (std::vector<Posted>{Error(kUnpackCannotWrite, 3)}));

  // A path through the link in the list (as the list of a run that met the
  // link only later would hold): the rollback does not reach it either.
  journal_.FileWritten(installDir_ + "\\Skins\\blue.skn");
  auto rollback = MakeWorker(ModeRollback, nullptr);
  ASSERT_TRUE(RunToEnd(*rollback));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(elsewhere / "blue.skn", bytes));
  EXPECT_EQ(bytes, "the user's own");
  EXPECT_FALSE(FileExists(installDir_ + "\\vxlite.exe"));  // what the run wrote is gone
}

// In an install folder that existed before, any level may become a link
// while the items go in: every new item folder is checked again.
TEST_F(InstallWorkerTest, ALinkMadeDuringTheRunInAnExistingInstallFolderStopsIt) {
  test::ScratchFolder elsewhere;
  ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  auto worker = MakeWorker(ModeInstall, carrier.module());
  bool planted = false;
  worker->CheckPointObserver = [&](TVXInstallThread&, CheckPoint point, int32_t item) {
    // Before "\Projects\demo.vx5": its folder appears, as a link.
    if (point == CheckPoint::BeforeItem && item == 4) {
      planted = test::PlantLink(installDir_ + "\\Projects", elsewhere.path());
    }
  };
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpUntil([&] { return worker->IsHalted() && !Only(WM_INST_ERROR).empty(); }));
  ASSERT_TRUE(planted);
  EXPECT_EQ(worker->ResultCode, kUnpackCannotWrite);
  EXPECT_EQ(Only(WM_INST_ERROR), (std::vector<Posted>{Error(kUnpackCannotWrite, 4)}));
  EXPECT_FALSE(FileExists(elsewhere / "demo.vx5"));
  EXPECT_TRUE(FileExists(installDir_ + "\\Skins\\blue.skn"));  // the items before it went in
}

TEST_F(InstallWorkerTest, InstallFolderThatIsNotTheOneAcceptedStopsTheRunBeforeAnyItem) {
  test::ScratchFolder elsewhere;
  const std::string package = temp_ + "\\case.pck";
  ASSERT_TRUE(WriteFileBytes(package, BuildTestPackage(SampleItems())));
  const struct {
    const char* name;
    bool link;         // the install folder is a link to another folder
    bool mustBeNew;    // the folder check found it missing
  } cases[] = {
      {"made by somebody else after the folder check", false, true},
      {"a link", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(installDir_);
    DrainMessages();
    if (c.link) {
      ASSERT_TRUE(test::PlantLink(installDir_, elsewhere.path()));
    } else {
      ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
    }
    auto worker = MakeWorker(ModeInstall, nullptr, InstallRequest(installDir_, c.mustBeNew));
    EXPECT_EQ(worker->UnpackPackage(package, installDir_), UnpackOutcome::Failed);
    EXPECT_EQ(worker->ResultCode, kUnpackFolderNotTrusted);
    PumpPending();
    EXPECT_EQ(Only(WM_INST_ERROR), (std::vector<Posted>{Error(kUnpackFolderNotTrusted, 0)}));
    EXPECT_TRUE(journal_.Files().empty());
    EXPECT_TRUE(journal_.Folders().empty());  // nothing for a rollback to remove
  }
  EXPECT_FALSE(FileExists(elsewhere / "vxlite.exe"));
}

// ------------------------------------------------------------ lifecycle

TEST_F(InstallWorkerTest, OtherModeDoesNothingButCallsBack) {
  auto worker = MakeWorker(150, nullptr);
  ASSERT_TRUE(RunToEnd(*worker));
  EXPECT_EQ(callback_.calls, 1);
  EXPECT_EQ(callback_.threadId, GetCurrentThreadId());
  EXPECT_EQ(callback_.mode, 150);
  EXPECT_EQ(callback_.resultCode, kInstallOk);
  EXPECT_TRUE(sink_->messages.empty());
  EXPECT_FALSE(FolderExists(installDir_));
  EXPECT_FALSE(worker->IsRunning());
  EXPECT_FALSE(worker->Start()) << "one object, one run";
}

TEST_F(InstallWorkerTest, PausesNestAndAPausedWorkerPostsNothing) {
  const std::vector<TestItem> items = SampleItems();
  const std::string package = BuildTestPackage(items);
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module());
  EXPECT_FALSE(worker->Resume()) << "nothing to resume";
  ASSERT_TRUE(worker->Pause());
  ASSERT_TRUE(worker->Pause());
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpUntilWaitingAtGate(*worker, 0));
  EXPECT_TRUE(sink_->messages.empty());
  EXPECT_TRUE(worker->Resume());
  ASSERT_TRUE(PumpUntilWaitingAtGate(*worker, 1)) << "woken, and held again";
  EXPECT_TRUE(sink_->messages.empty()) << "one pause still holds it";
  EXPECT_TRUE(worker->Resume());

  // Paused again in the middle of the run: once Pause() has returned, no
  // message is posted until the resume, and none is lost. The marker posted
  // right after the pause comes after every message posted before it.
  ASSERT_TRUE(PumpUntil([&] { return !Only(WM_INST_PROGRESS).empty(); }));
  const uint32_t waits = worker->GateWaits();
  ASSERT_TRUE(worker->Pause());
  ASSERT_TRUE(PostMessageA(sink_->hwnd(), kMarkerMessage, 0, 0));
  ASSERT_TRUE(PumpUntilWaitingAtGate(*worker, waits));
  ASSERT_FALSE(sink_->messages.empty());
  EXPECT_EQ(sink_->messages.back().message, kMarkerMessage) << "posted while paused";
  sink_->messages.pop_back();
  EXPECT_EQ(callback_.calls, 0);
  EXPECT_TRUE(worker->Resume());
  ASSERT_TRUE(PumpUntilSignalled(worker->ThreadHandle()));
  EXPECT_EQ(sink_->messages, CompleteRunMessages(items, static_cast<int32_t>(package.size())));
  EXPECT_EQ(callback_.calls, 1);
}

TEST_F(InstallWorkerTest, DestroyingAWorkerEndsItsThreadWithoutACallback) {
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  {
    auto never = MakeWorker(ModeInstall, carrier.module());
    EXPECT_FALSE(never->IsRunning());
  }
  auto paused = MakeWorker(ModeInstall, carrier.module());
  PauseAt(*paused, CheckPoint::BeforeItem, 1);
  ASSERT_TRUE(paused->Start());
  ASSERT_TRUE(PumpUntilSignalled(reached_.get()));
  EXPECT_TRUE(paused->IsRunning());
  EXPECT_EQ(PackageCopies().size(), 1u);
  paused.reset();
  PumpPending();
  EXPECT_EQ(Only(WM_INST_FREED).size(), 2u);
  EXPECT_EQ(callback_.calls, 0);
  EXPECT_TRUE(PackageCopies().empty());
  EXPECT_FALSE(TVXInstallThread::DeliverCompletion(0));
}

TEST_F(InstallWorkerTest, CompletionCallbackMayDestroyItsWorker) {
  auto* worker = MakeWorker(150, nullptr).release();
  bool destroyed = false;
  worker->OnTerminate = [&destroyed](TVXInstallThread& w) {
    delete &w;
    destroyed = true;
  };
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpUntil([&] { return destroyed; }));
  EXPECT_TRUE(PumpUntil([&] { return !Only(WM_INST_FREED).empty(); }));
}

TEST_F(InstallWorkerTest, AWorkerMadeWhereADestroyedOneLivedGetsItsOwnCallback) {
  // The callback destroys its worker and makes the next one in the very same
  // place, as the heap may: the completion relay must tell them apart by
  // more than their address.
  alignas(TVXInstallThread) unsigned char place[sizeof(TVXInstallThread)];
  auto make = [&] {
    return new (place) TVXInstallThread(true, 150, sink_->hwnd(), &journal_);
  };
  TVXInstallThread* next = nullptr;
  int firstCalls = 0, nextCalls = 0;
  TVXInstallThread* first = make();
  first->OnTerminate = [&](TVXInstallThread& done) {
    ++firstCalls;
    done.~TVXInstallThread();
    next = make();
    next->OnTerminate = [&](TVXInstallThread&) { ++nextCalls; };
    next->Start();
  };
  ASSERT_TRUE(first->Start());
  EXPECT_TRUE(PumpUntil([&] { return nextCalls == 1; }, 10000));
  ASSERT_EQ(static_cast<void*>(next), static_cast<void*>(first));
  // Its own thread has ended: no completion of either is still on its way.
  ASSERT_TRUE(PumpUntilSignalled(next->ThreadHandle()));
  PumpPending();
  EXPECT_EQ(firstCalls, 1);
  EXPECT_EQ(nextCalls, 1);
  next->~TVXInstallThread();
}

TEST_F(InstallWorkerTest, ItemWithAnUnsafePathEndsTheUnpackWithTheWriteError) {
  const std::string outside = scratch_ / "outside";
  const std::string unsafe[] = {
      "\\..\\outside, x.txt, 99, 1, 0|",  "\\, ..\\outside.txt, 99, 1, 0|",
      "Sub, x.txt, 99, 1, 0|",            "\\, CON, 99, 1, 0|",
      "\\, a*.txt, 99, 1, 0|",            "\\, C:x.txt, 99, 1, 0|",
      "\\, a.txt:stream, 99, 1, 0|",
  };
  for (const std::string& line : unsafe) {
    SCOPED_TRACE(line);
    RemoveTree(installDir_);
    DrainMessages();
    journal_.Clear();
    const std::string package = temp_ + "\\case.pck";
    ASSERT_TRUE(WriteFileBytes(package, RawTestPackage("ab", {"\\, a.txt, 99, 1, 0|",
                                                              "\\, b.txt, 100, 1, 0|", line})));
    auto worker = MakeWorker(ModeInstall, nullptr);
    EXPECT_EQ(worker->UnpackPackage(package, installDir_), UnpackOutcome::Failed);
    EXPECT_EQ(worker->ResultCode, kUnpackCannotWrite);
    PumpPending();
    EXPECT_EQ(Only(WM_INST_ERROR), (std::vector<Posted>{Error(kUnpackCannotWrite, 2)}));
    EXPECT_EQ(Only(WM_INST_PROGRESS).size(), 2u);
    EXPECT_EQ(journal_.Files(), (std::vector<std::string>{installDir_ + "\\a.txt", installDir_ + "\\b.txt"}));
    EXPECT_FALSE(FolderExists(outside));
    EXPECT_FALSE(FileExists(scratch_ / "outside.txt"));
  }
}

// ------------------------------------------------------------ helpers of the steps

TEST(ParseItemLines, KeepsValidRecordsAndThoseWithUnsafePaths) {
  const std::vector<std::string> lines = {
      "\\, a.txt, 99, 10, 617693891|",
      "\\Skins ,b.skn,109,5,0| trailing | more",
      "no bar here, 1, 2, 3",
      "\\, c.txt, 114, five, 0|",
      "\\, d.txt, 114, 1|",
      "\\..\\x, e.txt, 1, 1, 1|",
  };
  std::vector<TPackItem> records;
  TVXInstallThread::ParseItemLines(lines, records);
  // The unsafe one is kept, marked, for the unpack step to refuse.
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].Folder, "\\..\\x");
  EXPECT_EQ(records[2].Status, kItemInvalid);
  EXPECT_EQ(records[0].Folder, "\\");
  EXPECT_EQ(records[0].FileName, "a.txt");
  EXPECT_EQ(records[0].Offset, 99);
  EXPECT_EQ(records[0].Size, 10);
  EXPECT_EQ(records[0].FileDate, 617693891);
  EXPECT_EQ(records[1].Folder, "\\Skins");
  EXPECT_EQ(records[1].FileName, "b.skn");
  EXPECT_EQ(records[1].Offset, 109);
}

// How the unpack writes every item: the bytes, then the item's date as the
// last-write time (only that one), through the handle that wrote them.
TEST_F(InstallWorkerTest, WholeFileIsWrittenAndDatedThroughItsHandle) {
  const std::string path = scratch_ / "dated.txt";
  // 617693891: 17 June 1998, 08:22:06.
  ASSERT_TRUE(TVXInstallThread::WriteWholeFile(path, "xyz", 3, 617693891));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_EQ(bytes, "xyz");
  SYSTEMTIME written = LocalWriteTime(path);
  EXPECT_EQ(written.wYear, 1998);
  EXPECT_EQ(written.wMonth, 6);
  EXPECT_EQ(written.wDay, 17);
  EXPECT_EQ(written.wHour, 8);
  EXPECT_EQ(written.wMinute, 22);
  EXPECT_EQ(written.wSecond, 6);
  // Only the last-write time takes the date. (The creation time cannot be
  // checked here: Wine derives it from the modification time.)
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  SYSTEMTIME accessed{};
  ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastAccessTime, &accessed));
  EXPECT_NE(accessed.wYear, 1998);

  // A date of 0 or below leaves the time of writing.
  for (int32_t undated : {0, -1}) {
    ASSERT_TRUE(TVXInstallThread::WriteWholeFile(path, "x", 1, undated));
    EXPECT_NE(LocalWriteTime(path).wYear, 1998);
  }
  EXPECT_FALSE(TVXInstallThread::WriteWholeFile(scratch_ / "missing\\dated.txt", "x", 1));
}

#if defined(VX_SETUP_EXE_PATH)
// The setup this build made, with one byte of its embedded package changed
// in its file as a damaged download would have it: the worker, reading the
// package and the digest the build recorded from that file, refuses it before
// the unpack and leaves the machine as it was; the file as built installs.
TEST_F(InstallWorkerTest, TheBuiltSetupWithOneChangedPackageByteIsRefusedBeforeTheUnpack) {
  const auto unixToWindows = [](std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
  };
  const auto readAll = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string setup = readAll(unixToWindows(VX_SETUP_EXE_PATH));
  const std::string package = readAll(unixToWindows(VX_SETUP_PACKAGE_PATH));
  ASSERT_GT(package.size(), 4096u);
  // The package lies in the file as it is: found by its first 4 kB.
  const size_t start = setup.find(std::string_view(package).substr(0, 4096));
  ASSERT_NE(start, std::string::npos);
  ASSERT_EQ(setup.compare(start, package.size(), package), 0);

  struct Case {
    const char* name;
    std::string file;
    int32_t code;
  } cases[] = {
      // The damaged one first: the machine must be as before after it.
      {"one byte of the package changed", WithOneByteChanged(setup, start + package.size() / 2),
       kPackageDamaged},
      {"as built", setup, kInstallOk},
  };
  int copies = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DrainMessages();
    callback_ = {};
    const std::string copy = scratch_.path() + "\\setup" + std::to_string(copies++) + ".exe";
    {
      std::ofstream out(copy, std::ios::binary);
      out.write(c.file.data(), static_cast<std::streamsize>(c.file.size()));
      ASSERT_TRUE(out.good());
    }
    ModuleHandle module(LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << "error " << GetLastError();
    const MachineSnapshot before({temp_, windows_, installDir_});
    auto worker = MakeWorker(ModeInstall, module.get());
    ASSERT_TRUE(RunToEnd(*worker));
    EXPECT_EQ(callback_.resultCode, c.code);
    if (c.code == kPackageDamaged) {
      EXPECT_EQ(sink_->messages, std::vector<Posted>{Step(kStepExtracting)});
      EXPECT_EQ(MachineSnapshot({temp_, windows_, installDir_}).Differences(before),
                std::vector<std::string>());
    } else {
      EXPECT_TRUE(FileExists(installDir_ + "\\" + kProductExeName));
    }
  }
}
#endif

}  // namespace
}  // namespace vx::test
