// What the install run writes to the registry, and the removal of its keys.
#include <shlobj.h>

#include <algorithm>

#include "common/run_log.h"
#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/system.h"
#include "common/text.h"
#include "install/install_thread.h"
#include "javatools/javatools.h"

namespace vx {

namespace {

// A program path as a command: quoted when it holds a blank, so that
// Windows cannot take a shorter path for the program.
std::string CommandPath(const std::string& program) {
  return program.find_first_of(" \t") == std::string::npos ? program : "\"" + program + "\"";
}

// A quoted program followed by the quoted document placeholder.
std::string OpenCommand(const std::string& program) {
  return "\"" + program + "\" \"%1\"";
}

// One value to write into a key that is open.
struct RegistryValue {
  const char* name;  // "" for the key's default value
  std::string text;  // REG_SZ unless isInteger
  bool isInteger = false;
  int32_t number = 0;
};

LONG WriteValue(const RegistryAccess& registry, const RegistryValue& value) {
  return value.isInteger ? registry.WriteInteger(value.name, value.number)
                         : registry.WriteString(value.name, value.text);
}

RegistryValue Text(const char* name, std::string text) { return {name, std::move(text)}; }
RegistryValue Integer(const char* name, int32_t number) { return {name, {}, true, number}; }

// Each of these opens a key of its own (creating it), writes and closes.
// The first failure is returned.
LONG WriteKeyValues(RegistryAccess& registry, const std::string& key,
                    const std::vector<RegistryValue>& values) {
  LONG rc = registry.OpenKey(key, true);
  for (size_t i = 0; rc == ERROR_SUCCESS && i < values.size(); ++i) {
    rc = WriteValue(registry, values[i]);
  }
  registry.CloseKey();
  if (rc != ERROR_SUCCESS) LogFailure("writing a key", key, static_cast<DWORD>(rc));
  return rc;
}

// The Explorer choices are the user's defaults, not what makes the product
// work: a key the user's account may not write (Windows protects "UserChoice"
// once the user has chosen an application) is skipped, with a trace.
LONG UnlessRefused(LONG rc, const std::string& key) {
  if (rc != ERROR_ACCESS_DENIED) return rc;
  LogFailure("Explorer choice skipped, key refused", key, static_cast<DWORD>(rc));
  return ERROR_SUCCESS;
}

// Creates a subkey of the open key and makes it the open key.
LONG EnterSubkey(RegistryAccess& registry, const std::string& name) {
  LONG rc = registry.CreateKey(name);
  return rc == ERROR_SUCCESS ? registry.OpenKey(name, false) : rc;
}

}  // namespace

int32_t TVXInstallThread::WriteProductSettings() {
  const std::string help = kSettingsKeys[kSettingsKeyHelp];
  const std::string system = kSettingsKeys[kSettingsKeySystem];
  // One chain: every call is made only while all before it succeeded.
  bool ok = true;
  for (const char* key : kSettingsKeys) ok = ok && WriteRegistryString(key, "", "");
  ok = ok && WriteRegistryInteger(help, "HWND", 0);
  ok = ok && WriteRegistryString(help, "ARG", "");
  ok = ok && WriteRegistryString(system, "OpenProject", InstallFolder + kProjectsSubfolder);
  ok = ok && WriteRegistryString(system, "OpenDoc", "");
  ok = ok && WriteRegistryString(system, "OpenImg", "");
  ok = ok && WriteRegistryInteger(system, "OpenDocIdx", 0);
  ok = ok && WriteRegistryInteger(system, "OpenImgIdx", 0);
  ok = ok && WriteRegistryString(system, "DefColorSchema", "");
  ok = ok && WriteRegistryString(system, "DefStringsSchema", "");
  ok = ok && WriteRegistryString(system, "DefIconSchema", "");
  if (JdkRecord) {
    ok = ok && WriteRegistryString(system, kSettingJavaHome, JdkRecord->Home);
    ok = ok && WriteRegistryString(system, kSettingJavaVersion, JdkRecord->Version);
  }
  if (WtkRecord) {
    ok = ok && WriteRegistryString(system, kSettingRootWtk, WtkRecord->Root);
    ok = ok && WriteRegistryString(system, kSettingWtkVersion, WtkRecord->Version);
  }
  return ok ? kInstallOk : kSettingsFailed;
}

LONG TVXInstallThread::WriteFileAssociation() {
  const std::string product = InstallFolder + "\\" + kProductExeName;
  const std::string launcher = InstallFolder + "\\" + kLauncherExeName;

  // Part A: the extension. Any failure ends the install run.
  {
    RegistryAccess classes(HKEY_CLASSES_ROOT);
    const struct {
      const char* key;
      std::string value;
    } rows[] = {
        {kProjectExtension, kProjectTypeName},
        {kProjectExtensionIconKey, product + kIconIndexSuffix},
        {kProjectExtensionOpenKey, kProjectOpenVerbText},
        {kProjectExtensionCommandKey, OpenCommand(launcher)},
    };
    for (const auto& row : rows) {
      LONG rc = WriteKeyValues(classes, row.key, {Text("", row.value)});
      if (rc != ERROR_SUCCESS) return rc;
    }
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);

  // Part B: the application entry, key by key; a key that fails is skipped.
  RegistryAccess classes(HKEY_CLASSES_ROOT);
  const struct {
    const char* key;
    std::vector<RegistryValue> values;
  } keys[] = {
      {kApplicationsKey,
       {Text("", kProjectTypeName), Text(kFriendlyAppNameValue, kFriendlyAppName)}},
      {kApplicationIconKey, {Text("", product + kIconIndexSuffix)}},
      {kApplicationShellKey, {Text("", kApplicationDefaultVerb)}},
      {kApplicationOpenKey, {Text("", kApplicationOpenVerbText)}},
      {kApplicationCommandKey, {Text("", OpenCommand(product))}},
      {kApplicationTypesKey, {Text(kProjectExtension, kProjectTypeName)}},
  };
  for (const auto& key : keys) {
    LONG rc = WriteKeyValues(classes, key.key, key.values);
    if (rc != ERROR_SUCCESS) {
      LogFailure("application entry key skipped", std::string("HKEY_CLASSES_ROOT\\") + key.key,
                 static_cast<DWORD>(rc));
    }
  }
  return ERROR_SUCCESS;
}

LONG TVXInstallThread::WriteExplorerFileExts() {
  const std::string extensionKey = std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension;
  LONG rc = ERROR_SUCCESS;
  {
    RegistryAccess user(HKEY_CURRENT_USER);
    rc = user.OpenKey(kExplorerFileExtsKey, true);
    if (rc == ERROR_SUCCESS) rc = EnterSubkey(user, kProjectExtension);
    if (rc == ERROR_SUCCESS) rc = EnterSubkey(user, kOpenWithListKey);
    if (rc == ERROR_SUCCESS) rc = user.WriteString("a", kFullEditionExeName);
    if (rc == ERROR_SUCCESS) rc = user.WriteString("b", kProductExeName);
    if (rc == ERROR_SUCCESS) rc = user.WriteString(kOpenWithMruValue, kOpenWithMruOrder);
    if ((rc = UnlessRefused(rc, extensionKey + "\\" + kOpenWithListKey)) != ERROR_SUCCESS) return rc;
  }
  {
    RegistryAccess user(HKEY_CURRENT_USER);
    rc = user.OpenKey(extensionKey, true);
    if (rc == ERROR_SUCCESS) rc = EnterSubkey(user, kOpenWithProgidsKey);
    if (rc == ERROR_SUCCESS) rc = user.WriteInteger(kProjectTypeName, 0);
    if ((rc = UnlessRefused(rc, extensionKey + "\\" + kOpenWithProgidsKey)) != ERROR_SUCCESS) return rc;
  }
  RegistryAccess user(HKEY_CURRENT_USER);
  rc = user.OpenKey(extensionKey, true);
  if (rc == ERROR_SUCCESS) rc = EnterSubkey(user, kUserChoiceKey);
  if (rc == ERROR_SUCCESS) rc = user.WriteString(kUserChoiceProgidValue, kApplicationsKey);
  return UnlessRefused(rc, extensionKey + "\\" + kUserChoiceKey);
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
    OutputDebugStringA(("pending deletion not cleared: " + path).c_str());
  }
}

}  // namespace

// Moves the uninstall program into the Windows folder and says where it is
// now. When the copy fails the program stays in the install folder, and the
// record must name it there: a record naming a file that is not there would
// leave the product impossible to remove.
std::string TVXInstallThread::UninstallProgramLocation() {
  const std::string inInstallFolder = InstallFolder + "\\" + kUninstallExeName;
  if (!FolderExists(WindowsFolder)) return inInstallFolder;
  const std::string inWindowsFolder = WindowsFolder + "\\" + kUninstallExeName;
  // File names compare without regard to case, so this finds the package's
  // "UninstallVXLite.exe" as well.
  if (!FileExists(inInstallFolder)) return inWindowsFolder;
  const bool placedHere = !FileExists(inWindowsFolder);
  ClearPendingDeletion(inWindowsFolder);
  if (!CopyFileA(inInstallFolder.c_str(), inWindowsFolder.c_str(), FALSE)) return inInstallFolder;
  // A rollback removes the copy only when this run put it there.
  if (placedHere && Prior) Prior->placedFiles.push_back(inWindowsFolder);
  DeleteFileA(inInstallFolder.c_str());
  return inWindowsFolder;
}

LONG TVXInstallThread::WriteUninstallRecord() {
  RegistryAccess machine(HKEY_LOCAL_MACHINE);
  LONG rc = machine.OpenKey(kUninstallRoot, true);
  if (rc != ERROR_SUCCESS) LogFailure("opening the list of installed programs", kUninstallRoot, rc);
  if (rc == ERROR_SUCCESS) rc = EnterSubkey(machine, kUninstallGuid);
  if (rc == ERROR_SUCCESS) rc = machine.WriteString("DisplayName", kUninstallDisplayName);
  if (rc == ERROR_SUCCESS) rc = machine.WriteString("DisplayVersion", OwnFileVersion());
  if (rc != ERROR_SUCCESS) return rc;
  // Decided after the copy attempt, so it names the file where it really is.
  const std::string uninstallString = UninstallProgramLocation();
  const std::vector<RegistryValue> values = {
      Text("UnInstallString", CommandPath(uninstallString)),
      Text("Publisher", kPublisher),
      Text("URLInfoAbout", kProductInfoAddress),
      Text("HelpLink", kProductInfoAddress),
      Text("URLUpdateInfo", kProductInfoAddress),
      Text("InstallLocation", FolderPath(InstallFolder)),  // "C:\\", never "C:"
      Text("InstallDate", DateToYmd(LocalToday())),
      Text("InstallSource", ""),
      Integer("EstimatedSize", PackageSize / 1024),
      Integer("NoModify", 1),
      Integer("NoRepair", 1),
  };
  for (const RegistryValue& value : values) {
    rc = WriteValue(machine, value);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  // An empty path would open the root itself and empty it.
  if (TrimBlanks(path).empty()) return;
  std::vector<std::string> names;
  {
    RegistryAccess registry(root, KEY_READ);
    if (registry.OpenKey(path, false) != ERROR_SUCCESS) return;
    if (registry.GetKeyNames(names) != ERROR_SUCCESS) names.clear();
  }
  for (const std::string& name : names) DeleteKeyTree(root, path + "\\" + name);
  RegDeleteKeyExA(root, path.c_str(), WithProductView(root, 0), 0);
}

void RemoveRegistryEntries() {
  DeleteKeyTree(HKEY_CLASSES_ROOT, kClassIdKey);
  DeleteKeyTree(HKEY_CLASSES_ROOT, kProjectExtension);
  DeleteKeyTree(HKEY_CLASSES_ROOT, kApplicationsKey);
  DeleteKeyTree(HKEY_CLASSES_ROOT, kLauncherApplicationsKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
}

}  // namespace vx
