// What an install run writes to the registry and the Windows folder, the
// install log, and the removal of registry keys: real registry (redirected),
// real files.
#include <gtest/gtest.h>

#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "common/system.h"
#include "common/text.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

using namespace std::string_literals;

struct Value {
  DWORD type;
  std::string data;
  bool operator==(const Value&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Value& value) {
  return out << "type " << value.type << " \"" << value.data << "\"";
}

Value Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }
Value Dword(uint32_t number) {
  return {REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}

// A value as stored, or type REG_NONE when it cannot be read.
Value Read(HKEY root, const std::string& key, const std::string& name) {
  RegistryAccess registry(root, KEY_READ);
  Value value{REG_NONE, {}};
  if (registry.OpenKey(key, false) == ERROR_SUCCESS) {
    registry.ReadValue(name, value.type, value.data);
  }
  return value;
}

std::vector<std::string> ValueNames(HKEY root, const std::string& key) {
  std::vector<std::string> names;
  RegKey opened;
  if (OpenRegistryKey(root, key, KEY_READ, opened) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumValueA(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

bool KeyExists(HKEY root, const std::string& key) { return RegistryAccess(root).KeyExists(key); }

std::string Profile(const std::string& file, const char* section, const std::string& key) {
  char value[1024] = {};
  GetPrivateProfileStringA(section, key.c_str(), "<none>", value, sizeof value, file.c_str());
  return value;
}

std::string Today() { return DateToYmd(LocalToday()); }

using InstallRegistryTest = WorkerTest;

// Unpacks a package carrying the uninstall program into the folder, as the
// install run does before it writes the uninstall record.
void UnpackUninstaller(TVXInstallThread& worker, const std::string& scratch,
                       const std::string& folder) {
  const std::string package = scratch + "\\uninstaller.pck";
  ASSERT_TRUE(WriteFileBytes(package, BuildTestPackage({{"\\", "UninstallVXLite.exe",
                                                         "uninstaller", 0},
                                                        {"\\", "readme.txt", "readme", 0}})));
  ASSERT_EQ(worker.UnpackPackage(package, folder), UnpackOutcome::Completed);
}

TEST_F(InstallRegistryTest, CompleteRunWritesEveryValueTheUninstallProgramAndTheLog) {
  const std::string package = BuildTestPackage(SampleItems());
  PackageModuleFile carrier(scratch_.path(), package);
  auto worker = MakeWorker(ModeInstall, carrier.module(),
                           InstallRequest(installDir_, false,
                                          PickedTool{"C:\\Java\\jdk1.6.0_20", "1.6.0_20"},
                                          PickedTool{"C:\\WTK2.5.2_01", "2.5.2_01"}));
  ASSERT_TRUE(RunToEnd(*worker));
  ASSERT_EQ(callback_.resultCode, kInstallOk);
  const std::string& f = installDir_;
  const std::string type = kProjectTypeName;

  // File association.
  const struct {
    const char* key;
    const char* name;
    Value value;
  } classes[] = {
      {".vx5", "", Sz(type)},
      {".vx5\\DefaultIcon", "", Sz(f + "\\vxlite.exe,0")},
      {".vx5\\Shell\\Open", "", Sz("&Open")},
      {".vx5\\Shell\\Open\\Command", "", Sz("\"" + f + "\\vxlancelite.exe\" \"%1\"")},
      {"Applications\\vxlite.exe", "", Sz(type)},
      {"Applications\\vxlite.exe", "FriendlyAppName", Sz("Vantorex Lite - Mobile Java Producer")},
      {"Applications\\vxlite.exe\\DefaultIcon", "", Sz(f + "\\vxlite.exe,0")},
      {"Applications\\vxlite.exe\\shell", "", Sz("open")},
      {"Applications\\vxlite.exe\\shell\\open", "", Sz("&Open Vantorex Lite")},
      {"Applications\\vxlite.exe\\shell\\open\\command", "", Sz("\"" + f + "\\vxlite.exe\" \"%1\"")},
      {"Applications\\vxlite.exe\\SupportedTypes", ".vx5", Sz(type)},
  };
  for (const auto& row : classes) {
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, row.key, row.name), row.value) << row.key << " " << row.name;
  }

  // Explorer choices of the user.
  const std::string exts = std::string(kExplorerFileExtsKey) + "\\.vx5\\";
  EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithList", "a"), Sz("vantorex.exe"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithList", "b"), Sz("vxlite.exe"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithList", "MRUList"), Sz("ab"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithProgids", type), Dword(0));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "UserChoice", "Progid"),
            Sz("Applications\\vxlite.exe"));

  // Uninstall record.
  const std::string uninstaller = windows_ + "\\uninstallvxlite.exe";
  const struct {
    const char* name;
    Value value;
  } record[] = {
      {"DisplayName", Sz("Vantorex LITE")},
      {"DisplayVersion", Sz("1.2.0.7")},
      {"UnInstallString", Sz(uninstaller)},
      {"Publisher", Sz("Kestrova srl")},
      {"URLInfoAbout", Sz(kProductInfoAddress)},
      {"HelpLink", Sz(kProductInfoAddress)},
      {"URLUpdateInfo", Sz(kProductInfoAddress)},
      {"InstallLocation", Sz(f)},
      {"InstallDate", Sz(Today())},
      {"InstallSource", Sz("")},
      {"EstimatedSize", Dword(static_cast<uint32_t>(package.size() / 1024))},
      {"NoModify", Dword(1)},
      {"NoRepair", Dword(1)},
  };
  for (const auto& row : record) {
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, row.name), row.value) << row.name;
  }
  EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, kUninstallKey).size(), std::size(record));
  std::string moved;
  EXPECT_TRUE(ReadFileBytes(uninstaller, moved));
  EXPECT_EQ(moved, std::string(250, 'U'));
  EXPECT_FALSE(FileExists(f + "\\UninstallVXLite.exe"));

  // Product settings, with both records.
  const std::string help = kSettingsKeys[kSettingsKeyHelp];
  const std::string system = kSettingsKeys[kSettingsKeySystem];
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, help, "HWND"), Dword(0));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, help, "ARG"), Sz(""));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "OpenProject"), Sz(f + "\\Projects"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "OpenDocIdx"), Dword(0));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "JavaHome"), Sz("C:\\Java\\jdk1.6.0_20"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "JavaVersion"), Sz("1.6.0_20"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "RootWTK"), Sz("C:\\WTK2.5.2_01"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "WTKVersion"), Sz("2.5.2_01"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[2]));

  // Install log, read back as the uninstall program reads it.
  const std::string log = windows_ + "\\VXinstall.log";
  ASSERT_TRUE(FileExists(log));
  EXPECT_EQ(Profile(log, "Document", "Folders"), std::to_string(journal_.Folders().size() - 1));
  EXPECT_EQ(Profile(log, "Document", "Files"), std::to_string(journal_.Files().size() - 1));
  for (size_t i = 0; i < journal_.Folders().size(); ++i) {
    EXPECT_EQ(Profile(log, "Folders", "Id_" + std::to_string(i)), journal_.Folders()[i]);
  }
  for (size_t i = 0; i < journal_.Files().size(); ++i) {
    EXPECT_EQ(Profile(log, "Files", "Id_" + std::to_string(i)), journal_.Files()[i]);
  }
  EXPECT_EQ(Profile(log, "Files", "Id_" + std::to_string(journal_.Files().size() - 1)),
            f + "\\reopen.ini");
}

TEST_F(InstallRegistryTest, ProductSettingsWriteOnlyTheChosenToolsAndKeepOtherValues) {
  const std::string system = kSettingsKeys[kSettingsKeySystem];
  ASSERT_TRUE(WriteRegistryString(system, "OpenDoc", "C:\\old.vx5"));
  ASSERT_TRUE(WriteRegistryString(system, "Custom", "kept"));

  auto worker = MakeWorker(ModeInstall, nullptr);
  EXPECT_EQ(worker->WriteProductSettings(), kInstallOk);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "OpenDoc"), Sz(""));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "Custom"), Sz("kept"));
  std::vector<std::string> names = ValueNames(HKEY_LOCAL_MACHINE, system);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Custom", "DefColorSchema", "DefIconSchema",
                                              "DefStringsSchema", "OpenDoc", "OpenDocIdx",
                                              "OpenImg", "OpenImgIdx", "OpenProject"}));
  EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeyHelp]).size(), 2u);

  auto withToolkit = MakeWorker(ModeInstall, nullptr,
                                InstallRequest(installDir_, false, std::nullopt,
                                               PickedTool{"C:\\WTK252", "2.5.2"}));
  EXPECT_EQ(withToolkit->WriteProductSettings(), kInstallOk);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "RootWTK"), Sz("C:\\WTK252"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "WTKVersion"), Sz("2.5.2"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "JavaHome").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, system, "JavaVersion").type, static_cast<DWORD>(REG_NONE));
}

TEST_F(InstallRegistryTest, ProductSettingsStopAtTheFirstRefusedKey) {
  ASSERT_TRUE(CreateWriteProtectedKey(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeyHelp]));
  auto worker = MakeWorker(ModeInstall, nullptr);
  EXPECT_EQ(worker->WriteProductSettings(), kSettingsFailed);
  // The chain stopped at "HWND": nothing after it was written.
  EXPECT_TRUE(ValueNames(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem]).empty());
  EXPECT_TRUE(ValueNames(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeyHelp]).empty());
}

// The association, Explorer choices and settings of an earlier edition of the
// product, as another setup left them.
void WriteEarlierEdition() {
  const std::string exts = std::string(kExplorerFileExtsKey) + "\\.vx5\\";
  RegistryAccess classes(HKEY_CLASSES_ROOT);
  ASSERT_EQ(classes.OpenKey(".vx5", true), ERROR_SUCCESS);
  ASSERT_EQ(classes.WriteString("", "Vantorex Full Project"), ERROR_SUCCESS);
  ASSERT_EQ(classes.OpenKey("\\.vx5\\Shell\\Open\\Command", true), ERROR_SUCCESS);
  ASSERT_EQ(classes.WriteString("", "\"C:\\Full\\vantorex.exe\" \"%1\""), ERROR_SUCCESS);
  ASSERT_EQ(classes.OpenKey("\\.vx5\\ShellNew", true), ERROR_SUCCESS);
  ASSERT_EQ(classes.WriteInteger("NullFile", 1), ERROR_SUCCESS);
  RegistryAccess user(HKEY_CURRENT_USER);
  ASSERT_EQ(user.OpenKey(exts + "OpenWithList", true), ERROR_SUCCESS);
  ASSERT_EQ(user.WriteString("a", "vantorex.exe"), ERROR_SUCCESS);
  ASSERT_EQ(user.WriteString("MRUList", "a"), ERROR_SUCCESS);
  ASSERT_TRUE(WriteRegistryString(kSettingsKeys[kSettingsKeySystem], "JavaHome", "C:\\Java"));
}

// A full run with one key write-protected beforehand, over the keys of an
// earlier edition: the run ends with the code of the step that failed (or
// goes on, for a refused Explorer choice), and the rollback the window then
// runs leaves the registry and the files exactly as they were.
TEST_F(InstallRegistryTest, RefusedKeyEndsTheRunWithItsCodeAndTheRollbackRestoresAll) {
  const std::string exts = std::string(kExplorerFileExtsKey) + "\\.vx5\\";
  const struct {
    const char* name;
    HKEY root;
    std::string key;
    int32_t code;
  } cases[] = {
      {"extension", HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open", kFileAssociationFailed},
      {"uninstall list", HKEY_LOCAL_MACHINE, kUninstallRoot, kUninstallRecordFailed},
      {"user choice: skipped", HKEY_CURRENT_USER, exts + "UserChoice", kInstallOk},
  };
  const std::string package = BuildTestPackage(SampleItems());
  PackageModuleFile carrier(scratch_.path(), package);
  // The run log goes beside the scratch folder the snapshots compare.
  const std::string logTemp = scratch_.path() + "-runlog";
  ASSERT_TRUE(CreateDirectoryA(logTemp.c_str(), nullptr));
  {
    TempFolderOverride logHere(logTemp);
    StartRunLog("VantorexLite Setup");
  }
  struct StopLog {
    std::string folder;
    ~StopLog() {
      StopRunLog();
      RemoveTree(folder);
    }
  } stopLog{logTemp};
  const std::string runLog = RunLogPath();
  ASSERT_FALSE(runLog.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(WriteEarlierEdition());
    ASSERT_TRUE(CreateWriteProtectedKey(c.root, c.key));
    const MachineSnapshot before({scratch_.path()});
    callback_ = {};
    journal_.Clear();
    auto worker = MakeWorker(ModeInstall, carrier.module());
    ASSERT_TRUE(RunToEnd(*worker));
    EXPECT_EQ(callback_.calls, 1);
    EXPECT_EQ(callback_.mode, ModeInstall);
    EXPECT_EQ(callback_.resultCode, c.code);
    EXPECT_EQ(IsRegistryStepFailure(callback_.resultCode), c.code != kInstallOk);
    // Only a complete run writes the record and the log.
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), c.code == kInstallOk);
    EXPECT_EQ(FileExists(windows_ + "\\VXinstall.log"), c.code == kInstallOk);
    if (c.code == kInstallOk) {
      EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithList", "b"), Sz("vxlite.exe"));
      EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "OpenWithProgids", kProjectTypeName), Dword(0));
      EXPECT_EQ(Read(HKEY_CURRENT_USER, exts + "UserChoice", "Progid").type,
                static_cast<DWORD>(REG_NONE));
      DeleteFileA((windows_ + "\\VXinstall.log").c_str());  // written by a complete run only
    }

    auto rollback = MakeWorker(ModeRollback, nullptr);
    ASSERT_TRUE(RunToEnd(*rollback));
    const std::vector<std::string> left = MachineSnapshot({scratch_.path()}).Differences(before);
    EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".vx5", ""), Sz("Vantorex Full Project"));
    DeleteRegistryTree(c.root, c.key);

    // Whoever must find out why later reads the key and the Windows error.
    std::string logText;
    ASSERT_TRUE(ReadFileBytes(runLog, logText));
    const std::string refusal = c.key + " (error " + std::to_string(ERROR_ACCESS_DENIED) + ")";
    EXPECT_NE(logText.find(refusal), std::string::npos) << refusal << " not in:\n" << logText;
    EXPECT_NE(logText.find("worker: run ends, mode 100, code " + std::to_string(c.code)),
              std::string::npos)
        << logText;
  }
}

TEST_F(InstallRegistryTest, RollbackOfACancelBeforeTheRegistryStepsTouchesNoKey) {
  ASSERT_NO_FATAL_FAILURE(WriteEarlierEdition());
  PackageModuleFile carrier(scratch_.path(), BuildTestPackage(SampleItems()));
  const MachineSnapshot before({scratch_.path()});
  auto worker = MakeWorker(ModeInstall, carrier.module());
  worker->CheckPointObserver = [](TVXInstallThread& w, CheckPoint point, int32_t item) {
    if (point == CheckPoint::AfterItem && item == 2) w.CancelRequested = true;
  };
  ASSERT_TRUE(RunToEnd(*worker));
  ASSERT_TRUE(journal_.Prior().keys.empty());
  auto rollback = MakeWorker(ModeRollback, nullptr);
  ASSERT_TRUE(RunToEnd(*rollback));
  const std::vector<std::string> left = MachineSnapshot({scratch_.path()}).Differences(before);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open\\Command", ""),
            Sz("\"C:\\Full\\vantorex.exe\" \"%1\""));
}

TEST_F(InstallRegistryTest, RestoreKeyPutsBackValuesAndSubkeysAndLeavesUntouchedKeysAlone) {
  ASSERT_NO_FATAL_FAILURE(WriteEarlierEdition());
  const KeyState before = CaptureKey(HKEY_CLASSES_ROOT, ".vx5");
  const KeyState missing = CaptureKey(HKEY_CLASSES_ROOT, "Applications\\vxlite.exe");
  ASSERT_TRUE(before.existed);
  ASSERT_FALSE(missing.existed);
  auto worker = MakeWorker(ModeInstall, nullptr);
  ASSERT_EQ(worker->WriteFileAssociation(), ERROR_SUCCESS);
  ASSERT_TRUE(WriteRegistryString(kSettingsKeys[kSettingsKeySystem], "x", "y"));
  RestoreKey(missing);
  RestoreKey(before);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Applications\\vxlite.exe"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "Applications"));
  const KeyState after = CaptureKey(HKEY_CLASSES_ROOT, ".vx5");
  EXPECT_EQ(after.values, before.values);
  ASSERT_EQ(after.subkeys.size(), 2u);  // "Shell" and "ShellNew"; "DefaultIcon" is gone
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open\\Command", ""),
            Sz("\"C:\\Full\\vantorex.exe\" \"%1\""));
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open", "").type, static_cast<DWORD>(REG_NONE));
}

TEST_F(InstallRegistryTest, UninstallStringNamesTheProgramWhereItReallyIs) {
  const std::string inInstall = installDir_ + "\\uninstallvxlite.exe";
  const std::string inWindows = windows_ + "\\uninstallvxlite.exe";
  const struct {
    const char* name;
    bool programInstalled;
    bool copyBlocked;       // a folder of that name in the Windows folder
    bool windowsMissing;
    std::string expected;
    bool movedToWindows;
  } cases[] = {
      {"moved into the Windows folder", true, false, false, inWindows, true},
      {"no program to move", false, false, false, inWindows, false},
      {"copy fails: stays and is named in the install folder", true, true, false, inInstall,
       false},
      {"no Windows folder", true, false, true, inInstall, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(installDir_);
    RemoveTree(windows_);
    ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(windows_.c_str(), nullptr));
    if (c.copyBlocked) {
      ASSERT_TRUE(CreateDirectoryA(inWindows.c_str(), nullptr));
    }
    auto worker = MakeWorker(ModeInstall, nullptr);
    if (c.programInstalled) UnpackUninstaller(*worker, scratch_.path(), installDir_);
    if (c.windowsMissing) worker->WindowsFolder = scratch_ / "no-windows";
    worker->PackageSize = 17340691;

    ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString"), Sz(c.expected));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), Dword(16934));
    EXPECT_EQ(FileExists(c.expected), c.programInstalled);
    EXPECT_EQ(FileExists(inWindows), c.movedToWindows);
    EXPECT_EQ(FileExists(inInstall), c.programInstalled && !c.movedToWindows);
  }
}

// The copy in the Windows folder runs elevated at every uninstall: it is
// made from the bytes the run unpacked, whatever another program put in the
// install folder since, and never from a file the package did not carry.
TEST_F(InstallRegistryTest, UninstallProgramCopyIsMadeFromThePackageBytesOnly) {
  const std::string inInstall = installDir_ + "\\uninstallvxlite.exe";
  const std::string inWindows = windows_ + "\\uninstallvxlite.exe";
  auto contents = [](const std::string& path) {
    std::string bytes;
    return ReadFileBytes(path, bytes) ? bytes : std::string("<unreadable>");
  };
  {
    auto worker = MakeWorker(ModeInstall, nullptr);
    UnpackUninstaller(*worker, scratch_.path(), installDir_);
    ASSERT_TRUE(WriteFileBytes(inInstall, "planted by another program"));
    ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
    EXPECT_EQ(contents(inWindows), "uninstaller");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString"), Sz(inWindows));
  }
  ASSERT_TRUE(DeleteFileA(inWindows.c_str()));
  {
    // A program of that name the package did not carry stays where it is.
    ASSERT_TRUE(WriteFileBytes(inInstall, "planted by another program"));
    auto worker = MakeWorker(ModeInstall, nullptr);
    ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
    EXPECT_FALSE(FileExists(inWindows));
    EXPECT_EQ(contents(inInstall), "planted by another program");
  }
}

TEST_F(InstallRegistryTest, UninstallStringIsQuotedWhenItsPathHoldsABlank) {
  // Unquoted, "C:\Program Files\..." could start "C:\Program.exe".
  const std::string folder = scratch_ / "Vantorex Lite";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + "\\UninstallVXLite.exe", "uninstaller"));
  auto worker = MakeWorker(ModeInstall, nullptr, InstallRequest(folder));
  worker->WindowsFolder = scratch_ / "no-windows";  // the program stays in the install folder
  ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString"),
            Sz("\"" + folder + "\\uninstallvxlite.exe\""));
}

TEST_F(InstallRegistryTest, InstallLocationOfADriveRootKeepsItsBackslash) {
  // "Y:" is what "Y:\" becomes once its last backslash is gone.
  auto worker = MakeWorker(ModeInstall, nullptr, InstallRequest("Y:\\"));
  ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), Sz("Y:\\"));
}

// A pending deletion at restart of the path the uninstall program is copied
// to (left by an earlier uninstall) is cleared; every other entry stays.
TEST_F(InstallRegistryTest, CopyOfTheUninstallProgramClearsItsPendingDeletion) {
  const std::string ours = "\\??\\" + windows_ + "\\UNINSTALLVXLITE.EXE";
  // A deletion, then a rename onto another file ("!": replacing it).
  const std::string others = "\\??\\C:\\other.tmp\0\0\\??\\C:\\a\0!\\??\\C:\\b\0"s;
  const struct {
    const char* name;
    std::string before;
    Value after;
  } cases[] = {
      {"among others", ours + '\0' + '\0' + others, {REG_MULTI_SZ, others + '\0'}},
      {"alone", ours + '\0' + '\0', {REG_NONE, ""}},
      {"only others", others, {REG_MULTI_SZ, others + '\0'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(installDir_);
    ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
    RegKey key;
    ASSERT_EQ(CreateRegistryKey(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_ALL_ACCESS, key),
              ERROR_SUCCESS);
    const std::string data = c.before + '\0';
    ASSERT_EQ(RegSetValueExA(key.get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    auto worker = MakeWorker(ModeInstall, nullptr);
    UnpackUninstaller(*worker, scratch_.path(), installDir_);
    ASSERT_EQ(worker->WriteUninstallRecord(), ERROR_SUCCESS);
    EXPECT_TRUE(FileExists(windows_ + "\\uninstallvxlite.exe"));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue), c.after);
  }
}

TEST_F(InstallRegistryTest, LogOverALongerLogKeepsItsHigherEntries) {
  auto worker = MakeWorker(ModeInstall, nullptr);
  const std::string log = windows_ + "\\VXinstall.log";
  for (const char* folder : {"C:\\old\\a", "C:\\old\\b", "C:\\old\\c"}) journal_.FolderMade(folder);
  for (const char* file : {"C:\\old\\1", "C:\\old\\2", "C:\\old\\3", "C:\\old\\4"}) {
    journal_.FileWritten(file);
  }
  ASSERT_EQ(worker->WriteInstallLog(installDir_), kInstallOk);

  journal_.Clear();
  journal_.FileWritten("C:\\new\\1");
  journal_.FileWritten("C:\\new\\reopen.ini");
  ASSERT_EQ(worker->WriteInstallLog(installDir_), kInstallOk);
  EXPECT_EQ(Profile(log, "Document", "Folders"), "-1");
  EXPECT_EQ(Profile(log, "Document", "Files"), "1");
  EXPECT_EQ(Profile(log, "Files", "Id_0"), "C:\\new\\1");
  EXPECT_EQ(Profile(log, "Files", "Id_1"), "C:\\new\\reopen.ini");
  EXPECT_EQ(Profile(log, "Files", "Id_3"), "C:\\old\\4");
  EXPECT_EQ(Profile(log, "Folders", "Id_0"), "C:\\old\\a") << "not rewritten, so kept";
}

TEST_F(InstallRegistryTest, LogGoesToTheInstallFolderWithoutAWindowsFolder) {
  auto worker = MakeWorker(ModeInstall, nullptr);
  worker->QueryWindowsFolder = [] { return std::string("C:\\no-such-windows-folder"); };
  journal_.FileWritten(installDir_ + "\\a.txt");
  EXPECT_EQ(worker->WriteInstallLog(installDir_), kLogFailed) << "install folder missing";
  ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
  EXPECT_EQ(worker->WriteInstallLog(installDir_), kInstallOk);
  const std::string log = installDir_ + "\\install.log";
  EXPECT_EQ(Profile(log, "Document", "Folders"), "-1");
  EXPECT_EQ(Profile(log, "Document", "Files"), "0");
  EXPECT_EQ(Profile(log, "Files", "Id_0"), installDir_ + "\\a.txt");
  char section[256] = {};
  EXPECT_EQ(GetPrivateProfileSectionA("Folders", section, sizeof section, log.c_str()), 0u);
  EXPECT_FALSE(FileExists(windows_ + "\\VXinstall.log"));
}

}  // namespace
}  // namespace vx::test
