#include "installed_layout.h"

#include <shlobj.h>

#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/system.h"
#include "fixtures.h"
#include "program_runner.h"
#include "uninstall_steps.h"

namespace vx::test {

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

// The keys that remove a whole tree; every key the setup writes lies in one
// of them, but for the maker's key.
std::vector<const FootprintKey*> SetupTrees() {
  std::vector<const FootprintKey*> trees;
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.removal == KeyRemoval::Entry || key.removal == KeyRemoval::Setting) {
      trees.push_back(&key);
    }
  }
  return trees;
}

// Writes the setup's keys and values as an install into folder with a JDK
// picked would, naming uninstaller in the uninstall record.
AssertionResult WriteSetupKeys(const std::string& folder, const std::string& uninstaller) {
  InstallFacts facts;
  facts.installFolder = folder;
  facts.setupVersion = kSetupFileVersion;
  facts.installDate = DateToYmd(LocalToday());
  facts.jdkHome = "C:\\Java\\jdk1.6.0_45";
  facts.jdkVersion = "1.6";
  facts.uninstallProgram = [&uninstaller] { return uninstaller; };
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer == KeyWriter::None) continue;
    if (WriteFootprintKey(key, facts) != ERROR_SUCCESS) {
      return AssertionFailure() << "registry " << key.path;
    }
  }
  return AssertionSuccess();
}

bool MakeLink(const std::string& target, const std::string& linkFile) {
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void())) ||
      FAILED(link.As(IID_IPersistFile, file))) {
    return false;
  }
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(target.substr(0, target.find_last_of('\\')).c_str());
  wchar_t wide[MAX_PATH * 2] = {};
  MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH * 2);
  return SUCCEEDED(file->Save(wide, FALSE));
}

}  // namespace

SetupShortcuts::~SetupShortcuts() {
  for (const std::string& link : links_) DeleteFileA(link.c_str());
  if (!programGroup_.empty()) RemoveDirectoryA(programGroup_.c_str());
  for (auto made = madeFolders_.rbegin(); made != madeFolders_.rend(); ++made) {
    RemoveDirectoryA(made->c_str());
  }
}

AssertionResult SetupShortcuts::Create(const std::string& installFolder) {
  // A link in every folder the setup may choose; the folders that the setup
  // uses only when they exist are made here for it.
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string folder = ShortcutFolderPath(place);
    if (folder.empty()) return AssertionFailure() << "no folder for a link";
    if (place.madeBySetup) {
      programGroup_ = folder;
      CreateDirectoryA(folder.c_str(), nullptr);
    }
    std::vector<std::string> missing;
    for (std::string level = folder; level.size() > 3 && !FolderExists(level);
         level = level.substr(0, level.find_last_of('\\'))) {
      missing.insert(missing.begin(), level);
    }
    for (const std::string& level : missing) {
      if (!CreateDirectoryA(level.c_str(), nullptr)) return AssertionFailure() << level;
      madeFolders_.push_back(level);
    }
    links_.push_back(LinkFileIn(folder));
    if (!MakeLink(installFolder + "\\" + kProductExeName, links_.back())) {
      return AssertionFailure() << "link " << links_.back();
    }
  }
  return AssertionSuccess();
}

AssertionResult SetupShortcuts::Gone() const {
  for (const std::string& link : links_) {
    if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return AssertionFailure() << "still there: " << link;
    }
  }
  if (FolderExists(programGroup_)) return AssertionFailure() << "still there: " << programGroup_;
  return AssertionSuccess();
}

AssertionResult SetupKeysGone() {
  for (const FootprintKey* key : SetupTrees()) {
    if (KeyExists(key->root, key->path)) return AssertionFailure() << "still there: " << key->path;
  }
  return AssertionSuccess();
}

void RemoveSetupTraces() {
  for (const FootprintKey* key : SetupTrees()) DeleteRegistryTree(key->root, key->path);
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.removal != KeyRemoval::IfEmpty) continue;
    RegKey maker;
    if (OpenRegistryKey(key.root, key.path, KEY_READ, maker) != ERROR_SUCCESS) continue;
    DWORD subkeys = 1;
    RegQueryInfoKeyA(maker.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    maker.reset();
    if (subkeys == 0) DeleteRegistryTree(key.root, key.path);
  }
  const std::string windows = WindowsFolder();
  DeleteFileA(InstallLogInWindowsFolder(windows).c_str());
  DeleteFileA(UninstallProgramIn(windows).c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
  RegKey key;
  return OpenRegistryKey(root, path, KEY_READ, key) == ERROR_SUCCESS;
}

InstalledLayout::InstalledLayout(std::string installFolder)
    : installFolder_(std::move(installFolder)) {}

InstalledLayout::~InstalledLayout() {
  RemoveSetupTraces();
  if (!logPath_.empty()) DeleteFileA(logPath_.c_str());
  if (!uninstallProgram_.empty()) DeleteFileA(uninstallProgram_.c_str());
  RemoveTree(installFolder_);
}

AssertionResult InstalledLayout::Create(bool logInWindowsFolder) {
  const std::string& f = installFolder_;
  const std::string windows = WindowsFolder();
  // "Projects\\Compiled" is made only as the parent of a folder the unpack
  // step asked for, so the log does not name it.
  folders_ = {f, f + "\\Help", f + "\\Projects", f + "\\Projects\\Compiled\\Demo"};
  for (const std::string& folder : folders_) {
    if (!CreateFolderPath(folder).value_or(false)) return AssertionFailure() << "folder " << folder;
  }
  const std::string installedUninstaller = f + "\\UninstallVXLite.exe";
  files_ = {f + "\\vxlite.exe",           f + "\\vxlancelite.exe",
            installedUninstaller,         f + "\\Help\\vxlite.chm",
            f + "\\Projects\\Compiled\\Demo\\demo.jar", f + "\\" + kReopenIniName};
  for (const std::string& file : files_) {
    const std::string name = file.substr(file.find_last_of('\\') + 1);
    bool made = name.size() > 4 && name.substr(name.size() - 4) == ".exe"
                    ? CopyFileA(BuiltProgram(name.c_str()).c_str(), file.c_str(), FALSE) != FALSE
                    : WriteFileBytes(file, "content of " + name + "\r\n");
    if (!made) return AssertionFailure() << "file " << file;
  }
  // The setup moves the uninstall program into the Windows folder and logs
  // there; without a Windows folder both stay in the install folder.
  if (logInWindowsFolder) {
    uninstallProgram_ = UninstallProgramIn(windows);
    logPath_ = InstallLogInWindowsFolder(windows);
    if (!MoveFileExA(installedUninstaller.c_str(), uninstallProgram_.c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
      return AssertionFailure() << "uninstall program into " << uninstallProgram_;
    }
  } else {
    uninstallProgram_ = installedUninstaller;
    logPath_ = InstallLogInInstallFolder(f);
  }

  AssertionResult keys = WriteSetupKeys(f, uninstallProgram_);
  if (!keys) return keys;

  AssertionResult links = shortcuts_.Create(f);
  if (!links) return links;

  // The log as the worker writes it: counts, then folders, then files.
  const char* log = logPath_.c_str();
  DeleteFileA(log);
  bool written =
      WritePrivateProfileStringA("Document", "Folders", std::to_string(folders_.size() - 1).c_str(),
                                 log) &&
      WritePrivateProfileStringA("Document", "Files", std::to_string(files_.size() - 1).c_str(), log);
  for (size_t index = 0; index < folders_.size(); ++index) {
    written = written && WritePrivateProfileStringA(
                             "Folders", ("Id_" + std::to_string(index)).c_str(),
                             folders_[index].c_str(), log);
  }
  for (size_t index = 0; index < files_.size(); ++index) {
    written = written && WritePrivateProfileStringA(
                             "Files", ("Id_" + std::to_string(index)).c_str(),
                             files_[index].c_str(), log);
  }
  if (!written) return AssertionFailure() << "log " << logPath_;
  return AssertionSuccess();
}

AssertionResult InstalledLayout::RegistryGone() const {
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.removal == KeyRemoval::IfEmpty) continue;  // other products may keep it
    if (KeyExists(key.root, key.path)) return AssertionFailure() << "still there: " << key.path;
  }
  return AssertionSuccess();
}

AssertionResult InstalledLayout::RegistryPresent() const {
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer == KeyWriter::None) continue;
    if (!KeyExists(key.root, key.path)) return AssertionFailure() << "gone: " << key.path;
  }
  return AssertionSuccess();
}

AssertionResult InstalledLayout::LoggedFilesGone() const {
  for (const std::string& file : files_) {
    if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return AssertionFailure() << "still there: " << file;
    }
  }
  return AssertionSuccess();
}

}  // namespace vx::test
