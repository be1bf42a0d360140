// What the install run writes to the registry, and the removal of its keys.
#include <shlobj.h>

#include <algorithm>

#include "common/run_log.h"
#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/system.h"
#include "common/text.h"
#include "install/install_thread.h"
#include "install/rollback.h"

namespace vx {

namespace {

// The Explorer choices are the user's defaults, not what makes the product
// work: a key the user's account may not write (Windows protects "UserChoice"
// once the user has chosen an application) is skipped, with a trace.
LONG UnlessRefused(LONG rc, const std::string& key) {
  if (rc != ERROR_ACCESS_DENIED) return rc;
  LogFailure("Explorer choice skipped, key refused", key, static_cast<DWORD>(rc));
  return ERROR_SUCCESS;
}

}  // namespace

InstallFacts TVXInstallThread::Facts() {
  InstallFacts facts;
  facts.installFolder = InstallFolder;
  facts.setupVersion = OwnFileVersion();
  facts.installDate = DateToYmd(LocalToday());
  facts.packageSize = PackageSize;
  if (Request.jdk) {
    facts.jdkHome = Request.jdk->folder;
    facts.jdkVersion = Request.jdk->version;
  }
  if (Request.toolkit) {
    facts.wtkRoot = Request.toolkit->folder;
    facts.wtkVersion = Request.toolkit->version;
  }
  // Decided when the record is written, after the copy attempt, so it names
  // the file where it really is.
  facts.uninstallProgram = [this] { return UninstallProgramLocation(); };
  return facts;
}

int32_t TVXInstallThread::WriteProductSettings() {
  const InstallFacts facts = Facts();
  // One chain: every call is made only while all before it succeeded. Every
  // key is made first, then the values are written key by key, each through
  // the handle that made its key: opening a key in the product's registry
  // view costs about half a millisecond under Wine, a value a few us.
  // Making a key does not count in the chain (it may exist already with
  // rights that refuse it): its first value tries again, and counts.
  std::vector<RegistryAccess> keys;
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::ProductSettings) continue;
    keys.emplace_back(HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS);
    keys.back().OpenKey(key.path, true);
  }
  bool ok = true;
  auto opened = keys.begin();
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::ProductSettings) continue;
    RegistryAccess& registry = *opened++;
    for (const FootprintValue& value : key.values) {
      const std::optional<ResolvedValue> data = ResolveValue(value, facts);
      if (!data || TrimBlanks(value.name).empty() || !ok) continue;  // a value needs a name
      ok = (registry.CurrentKey() || registry.OpenKey(key.path, true) == ERROR_SUCCESS) &&
           (data->type == REG_DWORD ? registry.WriteInteger(value.name, data->number)
                                    : registry.WriteString(value.name, data->text)) ==
               ERROR_SUCCESS;
    }
  }
  return ok ? kInstallOk : kSettingsFailed;
}

namespace {

DWORD WINAPI TellShell(void*) noexcept {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return 0;
}

}  // namespace

// The shell is told on a thread of its own, which the run's end waits for:
// the notice itself is asynchronous on Windows, while Wine starts a program
// for it (about 20 ms), which then overlaps the steps after it.
void TVXInstallThread::TellShellAssociationsChanged() {
  shellNotice_.reset(CreateThread(nullptr, 64 * 1024, &TellShell, nullptr, 0, nullptr));
  if (!shellNotice_) TellShell(nullptr);
}

LONG TVXInstallThread::WriteFileAssociation() {
  const InstallFacts facts = Facts();
  // Part A: the extension. Any failure ends the install run.
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::FileAssociation) continue;
    LONG rc = WriteFootprintKey(key, facts);
    if (rc != ERROR_SUCCESS) return rc;
  }
  TellShellAssociationsChanged();

  // Part B: the application entry, key by key; a key that fails is skipped.
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::ApplicationEntry) continue;
    if (LONG rc = WriteFootprintKey(key, facts); rc != ERROR_SUCCESS) {
      LogFailure("application entry key skipped", key.path, static_cast<DWORD>(rc));
    }
  }
  return ERROR_SUCCESS;
}

LONG TVXInstallThread::WriteExplorerFileExts() {
  const InstallFacts facts = Facts();
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::ExplorerChoices) continue;
    LONG rc = UnlessRefused(WriteFootprintKey(key, facts, KeyOpening::ThroughParent), key.path);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

namespace {

// An earlier uninstall that could not delete its own program left that to
// Windows' next start; the copy made now would be deleted then. Removes every
// pending deletion of `path`; other entries stay. A failure is traced only:
// the copy is made all the same.
void ClearPendingDeletion(const std::string& path) {
  RegKey key;
  DWORD type = REG_NONE, size = 0;
  if (OpenRegistryKey(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      key) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), kPendingRenamesValue, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return;
  }
  std::string data(size, '\0');
  if (RegQueryValueExA(key.get(), kPendingRenamesValue, nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return;
  }
  data.resize(size);
  // The strings in order, the empty "delete" targets included.
  std::vector<std::string> strings;
  for (size_t start = 0; start < data.size();) {
    const size_t end = std::min(data.find('\0', start), data.size());
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  while (strings.size() % 2 != 0 && strings.back().empty()) strings.pop_back();  // list end
  std::string kept;
  bool removed = false;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    std::string source = strings[i];
    if (source.rfind("\\??\\", 0) == 0) source.erase(0, 4);
    if (strings[i + 1].empty() && _stricmp(source.c_str(), path.c_str()) == 0) {
      removed = true;
      continue;
    }
    kept += strings[i] + '\0' + strings[i + 1] + '\0';
  }
  if (!removed) return;
  LONG rc = kept.empty() ? RegDeleteValueA(key.get(), kPendingRenamesValue)
                         : RegSetValueExA(key.get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                                          reinterpret_cast<const BYTE*>((kept + '\0').data()),
                                          static_cast<DWORD>(kept.size() + 1));
  if (rc != ERROR_SUCCESS) {
    LogFailure("clearing a pending deletion at restart", path, static_cast<DWORD>(rc));
  }
}

}  // namespace

// Moves the uninstall program into the Windows folder and says where it is
// now. The copy is written from the bytes this run unpacked, never from the
// file in the install folder, which anybody who can write there could have
// replaced since: the record names the copy, and it runs elevated. When the
// copy fails the program stays in the install folder, and the record must
// name it there: a record naming a file that is not there would leave the
// product impossible to remove.
std::string TVXInstallThread::UninstallProgramLocation() {
  const std::string inInstallFolder = UninstallProgramIn(InstallFolder);
  if (!FolderExists(WindowsFolder)) return inInstallFolder;
  const std::string inWindowsFolder = UninstallProgramIn(WindowsFolder);
  // File names compare without regard to case, so this finds the package's
  // "UninstallVXLite.exe" as well.
  if (!FileExists(inInstallFolder)) return inWindowsFolder;
  if (uninstallProgram_.empty()) {
    // The package carried none: the file in the install folder is not ours.
    LogLine("uninstall program: the package carries none, nothing copied");
    return FileExists(inWindowsFolder) ? inWindowsFolder : inInstallFolder;
  }
  const bool placedHere = !FileExists(inWindowsFolder);
  // Journaled first: a copy this run makes goes again when the run is
  // undone, and one it replaces is moved aside and comes back.
  if (Journal) {
    const std::string aside = inWindowsFolder + kAsideSuffix;
    if (!(placedHere ? Journal->FilePlaced(inWindowsFolder)
                     : Journal->FileMovedAside(inWindowsFolder, aside))) {
      return inInstallFolder;
    }
    if (!placedHere && !MoveFileExA(inWindowsFolder.c_str(), aside.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      LogFailure("moving the earlier uninstall program aside", inWindowsFolder, GetLastError());
      return inInstallFolder;
    }
  }
  ClearPendingDeletion(inWindowsFolder);
  if (!WriteWholeFile(inWindowsFolder, uninstallProgram_.data(),
                      static_cast<DWORD>(uninstallProgram_.size()), uninstallProgramDate_)) {
    LogFailure("copying the uninstall program into the Windows folder", inWindowsFolder,
               GetLastError());
    return inInstallFolder;
  }
  DeleteFileA(inInstallFolder.c_str());
  return inWindowsFolder;
}

LONG TVXInstallThread::WriteUninstallRecord() {
  const InstallFacts facts = Facts();
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::UninstallRecord) continue;
    // Through the list of installed programs, which must take a new entry.
    LONG rc = WriteFootprintKey(key, facts, KeyOpening::ThroughParent);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

}  // namespace vx
