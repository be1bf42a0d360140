#include "machine.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "common/files.h"
#include "common/footprint.h"
#include "common/registry.h"

namespace vx::e2e {

namespace {

constexpr ULONGLONG kDosTimeStep = 2 * 10000000ULL;  // 2 s in FILETIME units

// Opens a key for reading; HKEY_LOCAL_MACHINE in the 32-bit view the setup
// writes. Null when the key is missing.
HKEY OpenProductKey(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, WithProductView(root, KEY_READ), &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

// The whole content of a file; fails the scenario when it cannot be read.
std::string ReadBytes(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr));
  Require(static_cast<bool>(file), "cannot open " + path);
  LARGE_INTEGER size{};
  Require(GetFileSizeEx(file.get(), &size) != FALSE, "no size of " + path);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  Require(bytes.empty() || (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &read, nullptr) &&
                            read == bytes.size()),
          "cannot read " + path);
  return bytes;
}

namespace {

ULONGLONG LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  Require(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != FALSE,
          "no attributes of " + path);
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// A REG_DWORD value, or nothing.
std::optional<DWORD> ReadInteger(HKEY root, const std::string& path, const char* name) {
  RegKey key(OpenProductKey(root, path.c_str()));
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (!key || RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

bool FolderThere(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return !folder.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The link files a successful install makes on this machine: one in the
// program group and one in every other shortcut folder that exists.
std::vector<std::string> ExpectedLinks() {
  std::vector<std::string> links;
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string folder = ShortcutFolderPath(place);
    if (!folder.empty() && (place.madeBySetup || FolderThere(folder))) {
      links.push_back(LinkFileIn(folder));
    }
  }
  return links;
}

// The target of a link file, read back through the shell's link object.
std::string LinkTarget(const std::string& file) {
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> persist;
  Require(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, link.put_void())) &&
              SUCCEEDED(link.As(IID_IPersistFile, persist)),
          "no shell link object");
  const std::wstring wide(file.begin(), file.end());
  Require(SUCCEEDED(persist->Load(wide.c_str(), STGM_READ)), "the link cannot be read: " + file);
  char target[MAX_PATH * 2] = {};
  link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
  return target;
}

// The local date as eight digits, year first.
std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

}  // namespace

bool KeyExists(HKEY root, const char* path) {
  HKEY key = OpenProductKey(root, path);
  if (key) RegCloseKey(key);
  return key != nullptr;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsFolder() {
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

void RequireNothingInstalled(const std::string& installFolder) {
  Require(!PathExists(installFolder), "the install folder exists: " + installFolder);
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "an uninstall record exists");
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[1]), "product settings exist");
  Require(!PathExists(InstallLogInWindowsFolder(WindowsFolder())), "an install log exists");
  Require(!PathExists(UninstallProgramIn(WindowsFolder())), "an uninstaller exists");
}

std::string DefaultInstallFolder() {
  char folder[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", folder, MAX_PATH);
  return std::string(folder) + "\\" + kDefaultFolderName;
}

std::string PayloadFolder(const Arguments& arguments) {
  Require(!arguments.empty(), "no payload folder given");
  std::string folder = arguments[0];
  if (!folder.empty() && folder[0] == '/') {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = "Z:" + folder;
  }
  Require(PathExists(folder), "the payload folder is missing: " + folder);
  return folder;
}

std::string Lowercase(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  std::function<void(const std::string&)> walk = [&](const std::string& relative) {
    WIN32_FIND_DATAA found{};
    FindHandle find(FindFirstFileA((folder + relative + "\\*").c_str(), &found));
    if (!find) return;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        walk(relative + "\\" + name);
      } else {
        files.push_back(relative + "\\" + name);
      }
    } while (FindNextFileA(find.get(), &found));
  };
  walk("");
  std::sort(files.begin(), files.end(),
            [](const std::string& a, const std::string& b) { return Lowercase(a) < Lowercase(b); });
  return files;
}

std::optional<std::string> ReadString(HKEY root, const std::string& path, const char* name) {
  RegKey key(OpenProductKey(root, path.c_str()));
  if (!key) return std::nullopt;
  char data[2048] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::string(data);
}

void RequireString(HKEY root, const std::string& path, const char* name,
                   const std::string& expected) {
  const std::optional<std::string> value = ReadString(root, path, name);
  Require(value == expected, path + " \"" + name + "\" is \"" + value.value_or("(missing)") +
                                 "\", expected \"" + expected + "\"");
}

void RequireInstalled(const std::string& folder, const std::string& payload) {
  const std::string uninstaller = UninstallProgramIn("");  // "\uninstallvxlite.exe"
  std::vector<std::string> expected = FilesUnder(payload);
  expected.erase(std::remove_if(expected.begin(), expected.end(),
                                [&](const std::string& file) {
                                  return Lowercase(file) == uninstaller;
                                }),
                 expected.end());
  const std::vector<std::string> installed = FilesUnder(folder);
  Require(installed.size() == expected.size(),
          "the install folder holds " + std::to_string(installed.size()) + " files, the payload " +
              std::to_string(expected.size()) + " (without the uninstaller)");
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string& file = expected[i];
    Require(Lowercase(installed[i]) == Lowercase(file), "installed " + installed[i] + ", not " + file);
    Require(ReadBytes(folder + file) == ReadBytes(payload + file), "bytes differ: " + file);
    const ULONGLONG made = LastWriteTime(folder + file);
    const ULONGLONG source = LastWriteTime(payload + file);
    Require((made > source ? made - source : source - made) < kDosTimeStep, "date differs: " + file);
  }
  const std::string windows = WindowsFolder();
  Require(ReadBytes(UninstallProgramIn(windows)) == ReadBytes(UninstallProgramIn(payload)),
          "the uninstaller in the Windows folder is not the payload's");
  Note(std::to_string(expected.size()) + " files match the payload in bytes and dates");

  // The values the install writes, stated here rather than taken from the
  // setup's own table of them.
  const std::string f = folder;
  const std::string uninstallProgram = UninstallProgramIn(windows);
  const std::string system = "SOFTWARE\\Kestrova\\VantorexLite\\System";
  const std::string help = "SOFTWARE\\Kestrova\\VantorexLite\\Help";
  const std::string record =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
      "{5D2E7A41-9B3C-4e68-A1F0-27C4D8B9E615}";
  const std::string choices =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vx5\\";
  const std::string address = "https://www.kestrova.com/vantorex/lite";
  struct Expected {
    Expected(HKEY root, std::string key, const char* name, std::string text)
        : root(root), key(std::move(key)), name(name), text(std::move(text)) {}
    Expected(HKEY root, std::string key, const char* name, std::string text, DWORD number)
        : Expected(root, std::move(key), name, std::move(text)) {
      this->number = number;
    }
    HKEY root;
    std::string key;
    const char* name;
    std::string text;             // REG_SZ
    std::optional<DWORD> number;  // REG_DWORD instead
  };
  const Expected values[] = {
      {HKEY_LOCAL_MACHINE, help, "HWND", "", 0},
      {HKEY_LOCAL_MACHINE, help, "ARG", ""},
      {HKEY_LOCAL_MACHINE, system, "OpenProject", f + "\\Projects"},
      {HKEY_LOCAL_MACHINE, system, "OpenDoc", ""},
      {HKEY_LOCAL_MACHINE, system, "OpenImg", ""},
      {HKEY_LOCAL_MACHINE, system, "OpenDocIdx", "", 0},
      {HKEY_LOCAL_MACHINE, system, "OpenImgIdx", "", 0},
      {HKEY_LOCAL_MACHINE, system, "DefColorSchema", ""},
      {HKEY_LOCAL_MACHINE, system, "DefStringsSchema", ""},
      {HKEY_LOCAL_MACHINE, system, "DefIconSchema", ""},
      {HKEY_CLASSES_ROOT, ".vx5", "", "Vantorex Project Desc."},
      {HKEY_CLASSES_ROOT, ".vx5\\DefaultIcon", "", f + "\\vxlite.exe,0"},
      {HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open", "", "&Open"},
      {HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open\\Command", "",
       "\"" + f + "\\vxlancelite.exe\" \"%1\""},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe", "", "Vantorex Project Desc."},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe", "FriendlyAppName",
       "Vantorex Lite - Mobile Java Producer"},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe\\DefaultIcon", "", f + "\\vxlite.exe,0"},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe\\shell", "", "open"},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe\\shell\\open", "", "&Open Vantorex Lite"},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe\\shell\\open\\command", "",
       "\"" + f + "\\vxlite.exe\" \"%1\""},
      {HKEY_CLASSES_ROOT, "Applications\\vxlite.exe\\SupportedTypes", ".vx5",
       "Vantorex Project Desc."},
      {HKEY_CURRENT_USER, choices + "OpenWithList", "a", "vantorex.exe"},
      {HKEY_CURRENT_USER, choices + "OpenWithList", "b", "vxlite.exe"},
      {HKEY_CURRENT_USER, choices + "OpenWithList", "MRUList", "ab"},
      {HKEY_CURRENT_USER, choices + "OpenWithProgids", "Vantorex Project Desc.", "", 0},
      {HKEY_CURRENT_USER, choices + "UserChoice", "Progid", "Applications\\vxlite.exe"},
      {HKEY_LOCAL_MACHINE, record, "DisplayName", "Vantorex LITE"},
      {HKEY_LOCAL_MACHINE, record, "DisplayVersion", "1.2.0.7"},
      {HKEY_LOCAL_MACHINE, record, "UnInstallString",
       uninstallProgram.find(' ') == std::string::npos ? uninstallProgram
                                                       : "\"" + uninstallProgram + "\""},
      {HKEY_LOCAL_MACHINE, record, "Publisher", "Kestrova srl"},
      {HKEY_LOCAL_MACHINE, record, "URLInfoAbout", address},
      {HKEY_LOCAL_MACHINE, record, "HelpLink", address},
      {HKEY_LOCAL_MACHINE, record, "URLUpdateInfo", address},
      {HKEY_LOCAL_MACHINE, record, "InstallLocation", FolderPath(f)},
      {HKEY_LOCAL_MACHINE, record, "InstallDate", Today()},
      {HKEY_LOCAL_MACHINE, record, "InstallSource", ""},
      {HKEY_LOCAL_MACHINE, record, "NoModify", "", 1},
      {HKEY_LOCAL_MACHINE, record, "NoRepair", "", 1},
  };
  int checked = 0;
  for (const auto& value : values) {
    if (value.number) {
      Require(ReadInteger(value.root, value.key, value.name) == *value.number,
              value.key + " \"" + value.name + "\" is not " + std::to_string(*value.number));
    } else {
      RequireString(value.root, value.key, value.name, value.text);
    }
    ++checked;
  }
  Note(std::to_string(checked) + " registry values present");

  // Every installed file is in the log, so the uninstaller can find it.
  const std::string log = InstallLogInWindowsFolder(windows);
  char value[MAX_PATH * 2] = {};
  GetPrivateProfileStringA(kLogSectionDocument, kLogSectionFiles, "", value, sizeof value,
                           log.c_str());
  const int count = std::atoi(value);
  std::vector<std::string> logged;
  for (int i = 0; i < count; ++i) {
    const std::string key = kLogEntryPrefix + std::to_string(i);
    GetPrivateProfileStringA(kLogSectionFiles, key.c_str(), "", value, sizeof value, log.c_str());
    logged.push_back(Lowercase(value));
  }
  for (const std::string& file : expected) {
    Require(std::find(logged.begin(), logged.end(), Lowercase(folder + file)) != logged.end(),
            "not in the install log: " + file);
  }
  Note("install log names all " + std::to_string(expected.size()) + " files (" +
       std::to_string(count) + " entries)");

  for (const std::string& link : ExpectedLinks()) {
    Require(LinkTarget(link) == folder + "\\" + kProductExeName, "the link " + link +
                                                                    " points elsewhere");
  }
  Note(std::to_string(ExpectedLinks().size()) + " links point at the product");
}

void RequireNothingLeft(const std::string& folder) {
  RequireNothingInstalled(folder);
  for (const FootprintKey& key : FootprintKeys()) {
    // The maker's key may hold other products.
    if (key.removal != KeyRemoval::IfEmpty) {
      Require(!KeyExists(key.root, key.path.c_str()), "a key is left: " + key.path);
    }
  }
  for (const std::string& link : ExpectedLinks()) {
    Require(!PathExists(link), "a link is left: " + link);
  }
}

void UninstallSilently() {
  const std::string uninstaller = UninstallProgramIn(WindowsFolder());
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", uninstaller);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + uninstaller + "\" " + kSilentSwitch;
  Require(CreateProcessA(uninstaller.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, nullptr, &startup, &info) != FALSE,
          "the uninstaller cannot be started");
  KernelHandle process(info.hProcess);
  CloseHandle(info.hThread);
  Require(WaitForSingleObject(process.get(), kInstallTimeoutMs) == WAIT_OBJECT_0,
          "the uninstaller did not end");
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  Require(code == static_cast<DWORD>(kUninstallExitDone),
          "the uninstaller ended with " + std::to_string(code));
  // Its helper copy deletes it once it has ended.
  WaitFor("the uninstaller to delete itself", [&] { return !PathExists(uninstaller); });
  Note("uninstalled");
}

namespace {

void AddFiles(const std::string& folder, bool withBytes, bool deep,
              std::vector<std::pair<std::string, std::string>>& entries) {
  WIN32_FIND_DATAA found{};
  FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entries.emplace_back("folder " + Lowercase(path), std::string());
      if (deep) AddFiles(path, withBytes, deep, entries);
    } else {
      // A file another program holds without sharing is known by its size.
      const bool readable =
          withBytes && FileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
      entries.emplace_back("file " + Lowercase(path),
                           readable ? ReadBytes(path)
                                    : std::to_string(found.nFileSizeLow) + " bytes");
    }
  } while (FindNextFileA(find.get(), &found));
}

void AddKey(HKEY root, const std::string& rootName, const std::string& path,
            std::vector<std::pair<std::string, std::string>>& entries) {
  HKEY opened = OpenProductKey(root, path.c_str());
  if (!opened) return;
  RegKey key(opened);
  const std::string where = rootName + "\\" + path;
  entries.emplace_back("key " + where, std::string());
  std::vector<std::string> subkeys;
  char name[1024];
  BYTE data[4096];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
    if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &dataLength) !=
        ERROR_SUCCESS) {
      break;
    }
    entries.emplace_back("value " + where + " \"" + std::string(name, nameLength) + "\"",
                         std::to_string(type) + ":" +
                             std::string(reinterpret_cast<char*>(data), dataLength));
  }
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name, nameLength);
  }
  key.reset();
  for (const std::string& subkey : subkeys) AddKey(root, rootName, path + "\\" + subkey, entries);
}

}  // namespace

MachineState::MachineState(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    if (FolderThere(folder)) entries_.emplace_back("folder " + Lowercase(folder), std::string());
    AddFiles(folder, true, true, entries_);
  }
  AddFiles(WindowsFolder(), false, false, entries_);
  for (const std::string& link : ExpectedLinks()) {
    if (PathExists(link)) entries_.emplace_back("file " + Lowercase(link), ReadBytes(link));
  }
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string group = ShortcutFolderPath(place);
    if (place.madeBySetup && FolderThere(group)) {
      entries_.emplace_back("folder " + Lowercase(group), std::string());
    }
  }
  // Every key the uninstall removes, with its whole tree.
  const auto& keys = FootprintKeys();
  for (const FootprintKey& key : keys) {
    if (key.removal == KeyRemoval::WithParent) continue;
    const bool inner = std::any_of(keys.begin(), keys.end(), [&](const FootprintKey& outer) {
      return &outer != &key && outer.removal != KeyRemoval::WithParent &&
             outer.root == key.root && KeyIsWithin(outer.path, key.path);
    });
    if (inner) continue;
    const char* rootName = key.root == HKEY_LOCAL_MACHINE  ? "HKLM"
                           : key.root == HKEY_CLASSES_ROOT ? "HKCR"
                                                           : "HKCU";
    AddKey(key.root, rootName, key.path, entries_);
  }
  std::sort(entries_.begin(), entries_.end());
}

std::vector<std::string> MachineState::DifferencesFrom(const MachineState& before) const {
  std::vector<std::string> differences;
  auto now = entries_.begin();
  auto then = before.entries_.begin();
  while (now != entries_.end() || then != before.entries_.end()) {
    if (then == before.entries_.end() || (now != entries_.end() && now->first < then->first)) {
      differences.push_back("added: " + (now++)->first);
    } else if (now == entries_.end() || then->first < now->first) {
      differences.push_back("gone: " + (then++)->first);
    } else {
      if (now->second != then->second) differences.push_back("changed: " + now->first);
      ++now;
      ++then;
    }
  }
  return differences;
}

void MachineState::RequireSameAs(const MachineState& before, const std::string& when) const {
  const std::vector<std::string> differences = DifferencesFrom(before);
  std::string listed;
  for (size_t i = 0; i < differences.size() && i < 8; ++i) listed += "\n  " + differences[i];
  Require(differences.empty(), when + ", the machine differs from before (" +
                                   std::to_string(differences.size()) + "):" + listed);
}

void RegisterJdk(const std::string& version, const std::string& home) {
  const std::string key = std::string(kJdkRegistryKey) + "\\" + version;
  HKEY created = nullptr;
  Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                          KEY_WRITE | KEY_WOW64_32KEY, nullptr, &created,
                          nullptr) == ERROR_SUCCESS,
          "the JDK key cannot be made");
  RegKey owner(created);
  Require(RegSetValueExA(created, kJdkHomeValue, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(home.c_str()),
                         static_cast<DWORD>(home.size() + 1)) == ERROR_SUCCESS,
          "JavaHome cannot be written");
  CreateDirectoryA(home.c_str(), nullptr);
  CreateDirectoryA((home + "\\bin").c_str(), nullptr);
  FileHandle compiler(CreateFileA((home + kJdkCompilerFile).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr));
  Require(static_cast<bool>(compiler), "the JDK's compiler cannot be made");
}

HWND VisibleProductWindow() {
  HWND window = FindWindowA(kProductWindowClassName, nullptr);
  return window && IsWindowVisible(window) ? window : nullptr;
}

bool RunsElevated(HANDLE process) {
  HANDLE token = nullptr;
  Require(OpenProcessToken(process, TOKEN_QUERY, &token) != FALSE,
          "the token of a process cannot be opened");
  KernelHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  Require(GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE,
          "the elevation of a process cannot be read");
  return elevation.TokenIsElevated != 0;
}

DWORD ParentProcessOf(DWORD processId) {
  KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == processId) return entry.th32ParentProcessID;
  }
  return 0;
}

DWORD DesktopShellProcess() {
  DWORD processId = 0;
  HWND shell = GetShellWindow();
  if (shell) GetWindowThreadProcessId(shell, &processId);
  return processId;
}

std::string SetupRunLog() {
  char temp[MAX_PATH] = {};
  Require(GetTempPathA(MAX_PATH, temp) != 0, "no temporary folder");
  // "<temp>\<title> <yyyymmdd-hhmmss>\<title> <yyyymmdd-hhmmss>.log"
  const std::string pattern = std::string(temp) + kSetupLogTitle + " *";
  std::vector<std::string> folders;
  WIN32_FIND_DATAA found{};
  FindHandle find(FindFirstFileA(pattern.c_str(), &found));
  if (find) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(found.cFileName);
    } while (FindNextFileA(find.get(), &found));
  }
  Require(folders.size() == 1, "expected one run log of the setup, found " +
                                   std::to_string(folders.size()));
  return ReadBytes(std::string(temp) + folders[0] + "\\" + folders[0] + ".log");
}

}  // namespace vx::e2e
