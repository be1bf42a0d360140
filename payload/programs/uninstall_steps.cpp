#include "uninstall_steps.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "common/system.h"
#include "common/text.h"
#include "install/install_log.h"
#include "install/profile_text.h"
#include "program_support.h"

namespace vx::programs {

namespace {

constexpr size_t kLogPrefixLength = sizeof kLogEntryPrefix - 1;
constexpr DWORD kProfileLimit = 1u << 24;    // no log line is anywhere near this long
constexpr int kDeleteAttempts = 50;          // the ended program's file may stay locked briefly
constexpr DWORD kDeleteRetryMs = 100;

// One profile text: a value, or with a null key the section's key names
// separated by NULs. Grows the buffer until the text fits.
std::string ProfileString(const char* section, const char* key, const std::string& file) {
  std::string buffer(1024, '\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD got = GetPrivateProfileStringA(section, key, "", buffer.data(), size, file.c_str());
    DWORD truncatedAt = key ? size - 1 : size - 2;
    if (got < truncatedAt || size >= kProfileLimit) {
      buffer.resize(std::min(got, size));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// A whole decimal number, optionally negative; nothing else on the line.
bool ParseCount(const std::string& text, long long& value) {
  std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(trimmed.c_str(), &end, 10);
  return end && *end == '\0';
}

// The index of a key "Id_<n>" written without leading zeros; -1 otherwise.
long long EntryIndex(const std::string& key) {
  if (key.size() <= kLogPrefixLength ||
      !SamePath(key.substr(0, kLogPrefixLength), kLogEntryPrefix)) {
    return -1;
  }
  std::string digits = key.substr(kLogPrefixLength);
  if (digits.size() > 18 || (digits.size() > 1 && digits[0] == '0') ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  return std::strtoll(digits.c_str(), nullptr, 10);
}

// A value as the profile functions read it: one pair of the same quotes
// around it is taken off.
std::string_view AsProfileFunctionsRead(std::string_view stored) {
  if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
      stored.back() == stored.front()) {
    return stored.substr(1, stored.size() - 2);
  }
  return stored;
}

// The entries of one section with an index up to the count "Document" gives
// for it (countText), in index order: from the section's keys, and the value
// of a key (valueOf) looked up only for the keys that are entries, so a
// damaged count cannot make this slow.
template <typename ValueOf>
std::vector<std::string> CountedEntries(const char* section, const std::string& countText,
                                        const std::vector<std::string_view>& keys,
                                        ValueOf valueOf, InstallLog& log) {
  long long highest = 0;
  bool counted = ParseCount(countText, highest);
  if (!counted) {
    log.uncounted.push_back(section);
    highest = INT64_MAX;
  }
  std::vector<std::pair<long long, std::string>> entries;
  for (std::string_view key : keys) {
    long long index = EntryIndex(std::string(key));
    if (index < 0 || index > highest) continue;  // not an entry, or one above the count
    std::string value = TrimBlanks(valueOf(key));
    if (!value.empty()) entries.emplace_back(index, std::move(value));
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  // The same key twice (or in two spellings) is one entry.
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                entries.end());
  if (counted && highest >= 0) {
    log.missingEntries += highest + 1 - static_cast<long long>(entries.size());
  }
  std::vector<std::string> paths;
  paths.reserve(entries.size());
  for (auto& entry : entries) paths.push_back(std::move(entry.second));
  return paths;
}

// One section through the profile functions: its key names read once, then
// one call per entry.
std::vector<std::string> ReadLogSection(const std::string& file, const char* section,
                                        InstallLog& log) {
  const std::string names = ProfileString(section, nullptr, file);
  std::vector<std::string_view> keys;
  for (size_t start = 0; start < names.size();) {
    size_t end = names.find('\0', start);
    if (end == std::string::npos) end = names.size();
    keys.push_back(std::string_view(names).substr(start, end - start));
    start = end + 1;
  }
  return CountedEntries(
      section, ProfileString(kLogSectionDocument, section, file), keys,
      [&](std::string_view key) { return ProfileString(section, std::string(key).c_str(), file); },
      log);
}

// One section of a log held whole: the same entries, without a profile call.
std::vector<std::string> ReadLogSection(const vx::ProfileText& text, const char* section,
                                        InstallLog& log) {
  return CountedEntries(
      section,
      std::string(AsProfileFunctionsRead(text.Value(kLogSectionDocument, section).value_or(""))),
      text.Keys(section),
      [&](std::string_view key) {
        return std::string(AsProfileFunctionsRead(text.Value(section, key).value_or("")));
      },
      log);
}

// The folder a logged path may be removed in: the recorded install folder;
// without one, the folder the log lists as made by the install that holds
// it. Empty when there is none: the path is left alone.
std::string ContainerOf(const std::string& installFolder, const InstallLog& log,
                        const std::string& path) {
  if (!installFolder.empty()) {
    if (IsInsideFolder(installFolder, path)) return installFolder;
    // A level above the install folder that the setup made and logged goes
    // as well, once it is empty: it is its own container.
    return IsInsideFolder(path, installFolder) && ContainsPath(log.folders, path) ? path : "";
  }
  for (const std::string& folder : log.folders) {
    if (IsInsideFolder(folder, path)) return folder;
  }
  return std::string();
}

// The containers of a run of removals, each looked at once while it stays
// the same: finding where a folder really is costs 0.3 to 0.5 ms under Wine,
// and a product has thousands of files in one container. A container moved
// or swapped for a link afterwards moves its files' real paths out of the
// one found, and they are refused as outside.
class Containers {
 public:
  const DeletionFolder& Of(const std::string& container) {
    if (!found_ || name_ != container) {
      found_ = FindDeletionFolder(container);
      name_ = container;
    }
    return *found_;
  }

 private:
  std::string name_;
  std::optional<DeletionFolder> found_;
};

// Removes a file, or a folder when it is empty, inside container: by handle,
// never through a link (DeleteInsideFolder); a read-only file is made
// writable first, as the user asked for the product to go. Reports what
// stays; true when the path is gone.
bool RemoveInside(const std::string& container, const std::string& path, bool folder,
                  UninstallReport& report, Containers& containers) {
  if (container.empty()) {
    report.Left(text::kUninstallOutside, path);
    return false;
  }
  const DeleteResult result = DeleteInsideFolder(containers.Of(container), path,
                                                 folder ? DeleteKind::Folder : DeleteKind::File);
  switch (result.outcome) {
    case DeleteOutcome::Deleted:
    case DeleteOutcome::Gone:
      return true;
    case DeleteOutcome::NotEmpty:
      report.Note(text::kUninstallFolderKept, path);
      return false;
    case DeleteOutcome::Link:
      report.Left(text::kUninstallLinkLeft, path);
      return false;
    case DeleteOutcome::Outside:
      report.Left(text::kUninstallOutside, path);
      return false;
    case DeleteOutcome::Failed:
      break;
  }
  report.Left(folder ? text::kUninstallFolderLeft : text::kUninstallFileLeft, path, result.error);
  return false;
}

bool RemoveInside(const std::string& container, const std::string& path, bool folder,
                  UninstallReport& report) {
  Containers containers;
  return RemoveInside(container, path, folder, report, containers);
}

std::string RootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE\\";
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT\\";
  return "HKEY_CURRENT_USER\\";
}

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(sizeof buffer, buffer);
  return (length == 0 || length >= sizeof buffer) ? std::string() : std::string(buffer, length);
}

}  // namespace

void UninstallReport::Left(const char* what, const std::string& item, DWORD error) {
  lines_.push_back(what + item + ErrorSuffix(error));
  LogLine("left: %s", lines_.back().c_str());
  incomplete_ = true;
}

void UninstallReport::Left(const char* what, const std::string& item) {
  lines_.push_back(what + item);
  LogLine("left: %s", lines_.back().c_str());
  incomplete_ = true;
}

void UninstallReport::Note(const char* what, const std::string& item) {
  lines_.push_back(what + item);
  LogLine("note: %s", lines_.back().c_str());
}

std::string FindInstallLog(const std::string& programFolder) {
  std::string windows = WindowsFolder();
  if (!windows.empty() && FileExists(InstallLogInWindowsFolder(windows))) {
    return InstallLogInWindowsFolder(windows);
  }
  if (!programFolder.empty() && FileExists(InstallLogInInstallFolder(programFolder))) {
    return InstallLogInInstallFolder(programFolder);
  }
  return std::string();
}

InstallLog ReadInstallLog(const std::string& path) {
  // Read whole where the file is in the form the setup writes: under Wine
  // every profile call opens the file again and looks through it from the
  // top, and a log of 20,000 entries takes that many calls.
  std::string bytes;
  vx::ProfileText text;
  if (!ReadProfileFile(path, bytes, text)) return ReadInstallLogWithProfileFunctions(path);
  InstallLog log;
  log.path = path;
  log.folders = ReadLogSection(text, kLogSectionFolders, log);
  log.files = ReadLogSection(text, kLogSectionFiles, log);
  return log;
}

InstallLog ReadInstallLogWithProfileFunctions(const std::string& path) {
  InstallLog log;
  log.path = path;
  log.folders = ReadLogSection(path, kLogSectionFolders, log);
  log.files = ReadLogSection(path, kLogSectionFiles, log);
  return log;
}

std::string RecordedInstallFolder() {
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  DWORD type = REG_NONE;
  std::string data;
  if (registry.OpenKeyReadOnly(kUninstallKey) != ERROR_SUCCESS ||
      registry.ReadValue("InstallLocation", type, data) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::string();
  }
  std::string folder = TrimBlanks(data.substr(0, data.find('\0')));
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  // Earlier setups stored a drive root as "C:", which alone would name the
  // current folder of that drive.
  return FolderPath(folder);
}

void RemoveLoggedFiles(const InstallLog& log, const std::string& installFolder,
                       const std::string& keep, UninstallReport& report) {
  Containers containers;
  for (const std::string& file : log.files) {
    if (!keep.empty() && SamePath(file, keep)) continue;
    RemoveInside(ContainerOf(installFolder, log, file), file, false, report, containers);
  }
}

void RemoveLoggedFolders(const InstallLog& log, const std::string& installFolder,
                         const std::string& keep, UninstallReport& report) {
  Containers containers;
  for (auto folder = log.folders.rbegin(); folder != log.folders.rend(); ++folder) {
    if (!keep.empty() && SamePath(*folder, keep)) continue;
    if (!RemoveInside(ContainerOf(installFolder, log, *folder), *folder, true, report,
                      containers) ||
        installFolder.empty()) {
      continue;
    }
    // The log names only the folders the setup asked for, not the ones it
    // made on the way as their parents: those go as well once empty, up to
    // the install folder or a logged folder, which has its own turn.
    // (A drive root is named with its backslash: "C:" alone is a folder
    // of its own, the drive's current one.)
    std::string parent = FolderPath(FolderOf(*folder));
    while (IsInsideFolder(installFolder, parent) && !SamePath(parent, installFolder) &&
           !ContainsPath(log.folders, parent) &&
           DeleteInsideFolder(containers.Of(installFolder), parent, DeleteKind::Folder).outcome ==
               DeleteOutcome::Deleted) {
      parent = FolderPath(FolderOf(parent));
    }
  }
}

void RemoveSetupRegistryKeys(UninstallReport& report) {
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.removal != KeyRemoval::Entry && key.removal != KeyRemoval::Setting) continue;
    LONG rc = DeleteRegistryTree(key.root, key.path);
    if (rc != ERROR_SUCCESS) {
      report.Left(text::kUninstallKeyLeft, RootName(key.root) + key.path, rc);
    }
  }
  // The maker's key may hold other products: it goes only when nothing is left in it.
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.removal != KeyRemoval::IfEmpty) continue;
    RegKey opened;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (OpenRegistryKey(key.root, key.path, KEY_READ, opened) == ERROR_SUCCESS &&
        RegQueryInfoKeyA(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0) {
      opened.reset();
      RegDeleteKeyExA(key.root, key.path.c_str(), WithProductView(key.root, 0), 0);
    }
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void RemoveShortcuts(UninstallReport& report) {
  // In the folders the setup chose for them.
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string folder = ShortcutFolderPath(place);
    if (folder.empty()) continue;
    // The user's own menu folders too are removed from by handle: a link
    // put there must not lead the deletion elsewhere.
    RemoveInside(folder, LinkFileIn(folder), false, report);
    if (place.madeBySetup) RemoveInside(folder, folder, true, report);
  }
}

namespace {

// Reads a whole file through one handle that lets nobody write it meanwhile.
bool ReadWholeFile(HANDLE file, std::string& bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > (64 << 20)) return false;
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                    nullptr) &&
                           read == bytes.size());
}

// Writes this program's bytes to the helper's path and starts it from there.
// The copy is held open, shared for reading only, from the moment it is
// checked against this program until the process has been created, so what
// runs is exactly this program.
bool StartHelperCopy(const std::string& ownPath, const std::string& copy,
                     const std::string& commandTail) {
  std::string own;
  {
    FileHandle self(CreateFileA(ownPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!self || !ReadWholeFile(self.get(), own)) return false;
  }
  {
    FileHandle written(CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD count = 0;
    if (!written || !WriteFile(written.get(), own.data(), static_cast<DWORD>(own.size()), &count,
                               nullptr) ||
        count != own.size()) {
      return false;
    }
  }
  FileHandle held(CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string check;
  if (!held || !ReadWholeFile(held.get(), check) || check != own) return false;

  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE, TRUE, 0)) {
    return false;
  }
  KernelHandle inheritable(self);
  std::string commandLine = "\"" + copy + "\" " + kSelfRemovalSwitch + " " +
                            std::to_string(reinterpret_cast<uintptr_t>(self)) + commandTail;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::string helperFolder = FolderOf(copy);
  if (!CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      helperFolder.c_str(), &startup, &process)) {
    return false;
  }
  KernelHandle thread(process.hThread);
  KernelHandle helper(process.hProcess);
  return true;
}

}  // namespace

bool StartSelfRemoval(const std::string& ownPath, const std::string& folder,
                      UninstallReport& report) {
  // The helper runs elevated: from a folder only Administrators can write,
  // never from the user's temporary folder itself, where a DLL or a swapped
  // copy could wait for it.
  // The folder is held from the moment it exists, so nobody can rename it
  // and put another in its place; the helper is written and started by the
  // path the held folder really has. Emptied, it goes with the hold.
  std::string made;
  const FileHandle held(CreateHeldPrivateFolder(TempFolder(), kUninstallHelperFolderPrefix, &made));
  const std::string helperFolder = held ? FinalPathOf(held.get()) : std::string();
  if (!helperFolder.empty()) {
    const std::string copy = helperFolder + "\\" + kUninstallHelperName;
    std::string tail = " \"" + ownPath + "\"";
    if (!folder.empty()) tail += " \"" + folder + "\"";
    if (StartHelperCopy(ownPath, copy, tail)) return true;
    DeleteFileA(copy.c_str());
  }
  // No helper: Windows deletes the file (and then the emptied folder) when it restarts.
  if (MoveFileExA(ownPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    if (!folder.empty()) MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    report.Note(text::kUninstallSelfLeft, ownPath);
  } else {
    report.Left(text::kUninstallFileLeft, ownPath, GetLastError());
  }
  return false;
}

int RunSelfRemovalHelper(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return 1;
  const std::string& file = arguments[1];
  // Only ever the uninstall program's own file.
  if (!SamePath(NameOf(file), kUninstallExeName)) return 1;
  HANDLE parent = reinterpret_cast<HANDLE>(
      static_cast<uintptr_t>(std::strtoull(arguments[0].c_str(), nullptr, 10)));
  if (parent) {
    // However long it takes: giving up would leave the file to a deletion at
    // restart, which would remove a reinstalled product's uninstall program.
    KernelHandle owner(parent);
    WaitForSingleObject(owner.get(), INFINITE);
  }
  bool deleted = false;
  bool refused = false;  // a link on the way: neither now nor at restart
  for (int attempt = 0; attempt < kDeleteAttempts && !deleted && !refused; ++attempt) {
    // By handle, not through a link put on the way.
    const DeleteOutcome outcome =
        DeleteInsideFolder(FolderOf(file), file, DeleteKind::File).outcome;
    refused = outcome == DeleteOutcome::Link || outcome == DeleteOutcome::Outside;
    deleted = outcome == DeleteOutcome::Deleted || outcome == DeleteOutcome::Gone;
    if (!deleted && !refused) Sleep(kDeleteRetryMs);
  }
  if (!deleted && !refused) MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (arguments.size() > 2 && !arguments[2].empty() && !RemoveDirectoryA(arguments[2].c_str()) &&
      !deleted) {
    MoveFileExA(arguments[2].c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  // This temporary copy cannot delete itself while it runs: Windows removes
  // it, and then its folder, when it restarts.
  const std::string self = OwnPath();
  MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(FolderOf(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return deleted ? 0 : 1;
}

}  // namespace vx::programs
