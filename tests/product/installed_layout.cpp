#include "installed_layout.h"

#include <shlobj.h>

#include "common/files.h"
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

std::string OpenCommand(const std::string& program) {
  return "\"" + program + "\" \"%1\"";
}

// The entries the registry steps of the setup write, in their order.
std::vector<RegistryEntry> SetupEntries(const std::string& folder, const std::string& uninstaller) {
  const std::string exts = std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension;
  const std::string system = kSettingsKeys[kSettingsKeySystem];
  const std::string help = kSettingsKeys[kSettingsKeyHelp];
  const std::string app = kApplicationsKey;
  return {
      {HKEY_LOCAL_MACHINE, kSettingsKeys[2], "", ""},
      {HKEY_LOCAL_MACHINE, help, "HWND", "0", true},
      {HKEY_LOCAL_MACHINE, help, "ARG", ""},
      {HKEY_LOCAL_MACHINE, system, "OpenProject", folder + "\\Projects"},
      {HKEY_LOCAL_MACHINE, system, "OpenDoc", ""},
      {HKEY_LOCAL_MACHINE, system, "JavaHome", "C:\\Java\\jdk1.6.0_45"},
      {HKEY_LOCAL_MACHINE, system, "JavaVersion", "1.6"},
      {HKEY_CLASSES_ROOT, kProjectExtension, "", kProjectTypeName},
      {HKEY_CLASSES_ROOT, ".vx5\\DefaultIcon", "", folder + "\\vxlite.exe,0"},
      {HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open", "", "&Open"},
      {HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open\\Command", "",
       OpenCommand(folder + "\\vxlancelite.exe")},
      {HKEY_CLASSES_ROOT, app, "", kProjectTypeName},
      {HKEY_CLASSES_ROOT, app, "FriendlyAppName", kFriendlyAppName},
      {HKEY_CLASSES_ROOT, app + "\\DefaultIcon", "", folder + "\\vxlite.exe,0"},
      {HKEY_CLASSES_ROOT, app + "\\shell", "", "open"},
      {HKEY_CLASSES_ROOT, app + "\\shell\\open", "", "&Open Vantorex Lite"},
      {HKEY_CLASSES_ROOT, app + "\\shell\\open\\command", "", OpenCommand(folder + "\\vxlite.exe")},
      {HKEY_CLASSES_ROOT, app + "\\SupportedTypes", ".vx5", kProjectTypeName},
      {HKEY_CURRENT_USER, exts + "\\OpenWithList", "a", kFullEditionExeName},
      {HKEY_CURRENT_USER, exts + "\\OpenWithList", "b", kProductExeName},
      {HKEY_CURRENT_USER, exts + "\\OpenWithList", "MRUList", "ab"},
      {HKEY_CURRENT_USER, exts + "\\OpenWithProgids", kProjectTypeName, "0", true},
      {HKEY_CURRENT_USER, exts + "\\UserChoice", "Progid", app},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", kUninstallDisplayName},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", uninstaller},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", kPublisher},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", folder},
      {HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify", "1", true},
  };
}

// The top keys of what the setup writes to the registry.
std::vector<std::pair<HKEY, std::string>> SetupRootKeys() {
  return {
      {HKEY_CLASSES_ROOT, kProjectExtension},
      {HKEY_CLASSES_ROOT, kApplicationsKey},
      {HKEY_CURRENT_USER, std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension},
      {HKEY_LOCAL_MACHINE, kSettingsKeys[1]},
      {HKEY_LOCAL_MACHINE, kUninstallKey},
  };
}

// Every key the entries name, and the setup's keys above them that only it
// creates: what the uninstall must leave no trace of.
std::vector<std::pair<HKEY, std::string>> SetupKeys(const std::vector<RegistryEntry>& entries) {
  std::vector<std::pair<HKEY, std::string>> keys = {
      {HKEY_LOCAL_MACHINE, kSettingsKeys[1]},
      {HKEY_CURRENT_USER, std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension}};
  for (const RegistryEntry& entry : entries) keys.emplace_back(entry.root, entry.key);
  return keys;
}

bool WriteEntry(const RegistryEntry& entry) {
  RegistryAccess registry(entry.root, KEY_ALL_ACCESS);
  if (registry.OpenKey(entry.key, true) != ERROR_SUCCESS) return false;
  if (entry.isNumber) return registry.WriteInteger(entry.name, std::stoi(entry.value)) == 0;
  return registry.WriteString(entry.name, entry.value) == ERROR_SUCCESS;
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

std::string PreferredFolder(int csidl, int fallback) {
  std::string folder = GetSpecialFolder(csidl);
  return FolderExists(folder) ? folder : GetSpecialFolder(fallback);
}

}  // namespace

SetupShortcuts::~SetupShortcuts() {
  for (const std::string& link : links_) DeleteFileA(link.c_str());
  if (!programGroup_.empty()) RemoveDirectoryA(programGroup_.c_str());
  if (!quickLaunchMade_.empty()) RemoveDirectoryA(quickLaunchMade_.c_str());
}

AssertionResult SetupShortcuts::Create(const std::string& installFolder) {
  programGroup_ = PreferredFolder(CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS) + "\\" + kProgramGroupName;
  std::string quickLaunch = GetSpecialFolder(CSIDL_APPDATA) + kQuickLaunchSubpath;
  if (!FolderExists(quickLaunch)) {
    if (!CreateFolderPath(quickLaunch).value_or(false)) return AssertionFailure() << quickLaunch;
    quickLaunchMade_ = quickLaunch;
  }
  CreateDirectoryA(programGroup_.c_str(), nullptr);
  const std::string linkName = std::string("\\") + kLinkName + ".lnk";
  links_ = {programGroup_ + linkName,
            PreferredFolder(CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOP) + linkName,
            quickLaunch + linkName};
  for (const std::string& link : links_) {
    if (!MakeLink(installFolder + "\\" + kProductExeName, link)) {
      return AssertionFailure() << "link " << link;
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
  for (const auto& [root, key] : SetupRootKeys()) {
    if (KeyExists(root, key)) return AssertionFailure() << "still there: " << key;
  }
  return AssertionSuccess();
}

void RemoveSetupTraces() {
  for (const auto& [root, key] : SetupRootKeys()) programs::DeleteRegistryTree(root, key);
  RegKey maker;
  if (OpenRegistryKey(HKEY_LOCAL_MACHINE, kSettingsKeys[0], KEY_READ, maker) == ERROR_SUCCESS) {
    DWORD subkeys = 1;
    RegQueryInfoKeyA(maker.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    maker.reset();
    if (subkeys == 0) programs::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSettingsKeys[0]);
  }
  const std::string windows = WindowsFolder();
  DeleteFileA((windows + kLogFileInWindows).c_str());
  DeleteFileA((windows + "\\" + kUninstallExeName).c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
  RegKey key;
  return OpenRegistryKey(root, path, KEY_READ, key) == ERROR_SUCCESS;
}

InstalledLayout::InstalledLayout(std::string installFolder)
    : installFolder_(std::move(installFolder)) {}

InstalledLayout::~InstalledLayout() {
  for (const auto& [root, key] : SetupKeys(entries_)) programs::DeleteRegistryTree(root, key);
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
    uninstallProgram_ = windows + "\\" + kUninstallExeName;
    logPath_ = windows + kLogFileInWindows;
    if (!MoveFileExA(installedUninstaller.c_str(), uninstallProgram_.c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
      return AssertionFailure() << "uninstall program into " << uninstallProgram_;
    }
  } else {
    uninstallProgram_ = installedUninstaller;
    logPath_ = f + kLogFileInInstallFolder;
  }

  entries_ = SetupEntries(f, uninstallProgram_);
  for (const RegistryEntry& entry : entries_) {
    if (!WriteEntry(entry)) return AssertionFailure() << "registry " << entry.key << " " << entry.name;
  }

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
  for (const auto& [root, key] : SetupKeys(entries_)) {
    if (KeyExists(root, key)) return AssertionFailure() << "still there: " << key;
  }
  return AssertionSuccess();
}

AssertionResult InstalledLayout::RegistryPresent() const {
  for (const auto& [root, key] : SetupKeys(entries_)) {
    if (!KeyExists(root, key)) return AssertionFailure() << "gone: " << key;
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
