// The tables of what an install leaves on the machine.
#include "common/footprint.h"

#include <shlobj.h>

#include <algorithm>

#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "common/system.h"

namespace vx {

namespace {

FootprintValue Text(const char* name, const char* text) {
  return {name, REG_SZ, ValueSource::Fixed, text, 0};
}
FootprintValue Number(const char* name, int32_t number) {
  return {name, REG_DWORD, ValueSource::Fixed, {}, number};
}
FootprintValue From(const char* name, ValueSource source) {
  return {name, source == ValueSource::PackageSizeKb ? DWORD{REG_DWORD} : DWORD{REG_SZ}, source,
          {}, 0};
}

// A program path as a command: quoted when it holds a blank, so that
// Windows cannot take a shorter path for the program.
std::string CommandPath(const std::string& program) {
  return program.find_first_of(" \t") == std::string::npos ? program : "\"" + program + "\"";
}

// A quoted program followed by the quoted document placeholder.
std::string OpenCommand(const std::string& program) { return "\"" + program + "\" \"%1\""; }

}  // namespace

const std::vector<FootprintKey>& FootprintKeys() {
  using enum KeyWriter;
  using enum KeyRemoval;
  using enum ValueSource;
  static const std::string kExplorerEntry =
      std::string(kExplorerFileExtsKey) + "\\" + kProjectExtension;
  static const std::vector<FootprintKey> keys = {
      // The product's settings.
      {HKEY_LOCAL_MACHINE, kSettingsKeys[0], ProductSettings, IfEmpty, {}},
      {HKEY_LOCAL_MACHINE, kSettingsKeys[1], ProductSettings, Setting, {}},
      {HKEY_LOCAL_MACHINE, kSettingsKeys[2], ProductSettings, WithParent, {}},
      {HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeyHelp], ProductSettings, WithParent,
       {Number("HWND", 0), Text("ARG", "")}},
      {HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], ProductSettings, WithParent,
       {From("OpenProject", ProjectsFolder), Text("OpenDoc", ""), Text("OpenImg", ""),
        Number("OpenDocIdx", 0), Number("OpenImgIdx", 0), Text("DefColorSchema", ""),
        Text("DefStringsSchema", ""), Text("DefIconSchema", ""),
        From(kSettingJavaHome, JdkHome), From(kSettingJavaVersion, JdkVersion),
        From(kSettingRootWtk, WtkRoot), From(kSettingWtkVersion, WtkVersion)}},
      // The project files' extension.
      {HKEY_CLASSES_ROOT, kProjectExtension, FileAssociation, Entry,
       {Text("", kProjectTypeName)}},
      {HKEY_CLASSES_ROOT, kProjectExtensionIconKey, FileAssociation, WithParent,
       {From("", ProductIcon)}},
      {HKEY_CLASSES_ROOT, kProjectExtensionOpenKey, FileAssociation, WithParent,
       {Text("", kProjectOpenVerbText)}},
      {HKEY_CLASSES_ROOT, kProjectExtensionCommandKey, FileAssociation, WithParent,
       {From("", LauncherOpenCommand)}},
      // The application entry.
      {HKEY_CLASSES_ROOT, kApplicationsKey, ApplicationEntry, Entry,
       {Text("", kProjectTypeName), Text(kFriendlyAppNameValue, kFriendlyAppName)}},
      {HKEY_CLASSES_ROOT, kApplicationIconKey, ApplicationEntry, WithParent,
       {From("", ProductIcon)}},
      {HKEY_CLASSES_ROOT, kApplicationShellKey, ApplicationEntry, WithParent,
       {Text("", kApplicationDefaultVerb)}},
      {HKEY_CLASSES_ROOT, kApplicationOpenKey, ApplicationEntry, WithParent,
       {Text("", kApplicationOpenVerbText)}},
      {HKEY_CLASSES_ROOT, kApplicationCommandKey, ApplicationEntry, WithParent,
       {From("", ProductOpenCommand)}},
      {HKEY_CLASSES_ROOT, kApplicationTypesKey, ApplicationEntry, WithParent,
       {Text(kProjectExtension, kProjectTypeName)}},
      // The user's Explorer choices for the extension.
      {HKEY_CURRENT_USER, kExplorerEntry, None, Setting, {}},
      {HKEY_CURRENT_USER, kExplorerEntry + "\\" + kOpenWithListKey, ExplorerChoices, WithParent,
       {Text("a", kFullEditionExeName), Text("b", kProductExeName),
        Text(kOpenWithMruValue, kOpenWithMruOrder)}},
      {HKEY_CURRENT_USER, kExplorerEntry + "\\" + kOpenWithProgidsKey, ExplorerChoices,
       WithParent, {Number(kProjectTypeName, 0)}},
      {HKEY_CURRENT_USER, kExplorerEntry + "\\" + kUserChoiceKey, ExplorerChoices, WithParent,
       {Text(kUserChoiceProgidValue, kApplicationsKey)}},
      // The uninstall record; the program it names is placed when
      // "UnInstallString" is written.
      {HKEY_LOCAL_MACHINE, kUninstallKey, UninstallRecord, Entry,
       {Text("DisplayName", kUninstallDisplayName), From("DisplayVersion", SetupVersion),
        From("UnInstallString", UninstallCommand), Text("Publisher", kPublisher),
        Text("URLInfoAbout", kProductInfoAddress), Text("HelpLink", kProductInfoAddress),
        Text("URLUpdateInfo", kProductInfoAddress), From("InstallLocation", InstallLocation),
        From("InstallDate", InstallDate), Text("InstallSource", ""),
        From("EstimatedSize", PackageSizeKb), Number("NoModify", 1), Number("NoRepair", 1)}},
      // Never written by this setup, removed all the same.
      {HKEY_CLASSES_ROOT, kClassIdKey, None, Entry, {}},
      {HKEY_CLASSES_ROOT, kLauncherApplicationsKey, None, Entry, {}},
  };
  return keys;
}

std::optional<ResolvedValue> ResolveValue(const FootprintValue& value, const InstallFacts& facts) {
  auto text = [](const std::string& data) { return ResolvedValue{REG_SZ, data, 0}; };
  auto optionalText = [&](const std::optional<std::string>& data) -> std::optional<ResolvedValue> {
    if (!data) return std::nullopt;
    return text(*data);
  };
  const std::string& folder = facts.installFolder;
  switch (value.source) {
    case ValueSource::Fixed:
      return ResolvedValue{value.type, value.text, value.number};
    case ValueSource::ProjectsFolder:
      return text(folder + kProjectsSubfolder);
    case ValueSource::ProductIcon:
      return text(folder + "\\" + kProductExeName + kIconIndexSuffix);
    case ValueSource::ProductOpenCommand:
      return text(OpenCommand(folder + "\\" + kProductExeName));
    case ValueSource::LauncherOpenCommand:
      return text(OpenCommand(folder + "\\" + kLauncherExeName));
    case ValueSource::SetupVersion:
      return optionalText(facts.setupVersion);
    case ValueSource::UninstallCommand:
      if (!facts.uninstallProgram) return std::nullopt;
      return text(CommandPath(facts.uninstallProgram()));
    case ValueSource::InstallLocation:
      return text(FolderPath(folder));  // "C:\", never "C:"
    case ValueSource::InstallDate:
      return optionalText(facts.installDate);
    case ValueSource::PackageSizeKb:
      if (!facts.packageSize) return std::nullopt;
      return ResolvedValue{REG_DWORD, {}, *facts.packageSize / 1024};
    case ValueSource::JdkHome:
      return optionalText(facts.jdkHome);
    case ValueSource::JdkVersion:
      return optionalText(facts.jdkVersion);
    case ValueSource::WtkRoot:
      return optionalText(facts.wtkRoot);
    case ValueSource::WtkVersion:
      return optionalText(facts.wtkVersion);
  }
  return std::nullopt;
}

LONG WriteFootprintKey(const FootprintKey& key, const InstallFacts& facts, KeyOpening opening) {
  RegistryAccess registry(key.root);
  const size_t split = key.path.find_last_of('\\');
  LONG rc = ERROR_SUCCESS;
  std::string refusing = key.path;  // the key a failure names in the run log
  if (opening == KeyOpening::ThroughParent && split != std::string::npos) {
    // Relative to the parent once it is open.
    const std::string name = key.path.substr(split + 1);
    rc = registry.OpenKey(key.path.substr(0, split), true);
    if (rc != ERROR_SUCCESS) refusing = key.path.substr(0, split);
    if (rc == ERROR_SUCCESS) rc = registry.CreateKey(name);
    if (rc == ERROR_SUCCESS) rc = registry.OpenKey(name, false);
  } else {
    rc = registry.OpenKey(key.path, true);
  }
  for (size_t i = 0; rc == ERROR_SUCCESS && i < key.values.size(); ++i) {
    const std::optional<ResolvedValue> data = ResolveValue(key.values[i], facts);
    if (!data) continue;
    rc = data->type == REG_DWORD ? registry.WriteInteger(key.values[i].name, data->number)
                                 : registry.WriteString(key.values[i].name, data->text);
  }
  if (rc != ERROR_SUCCESS) LogFailure("writing a key", refusing, static_cast<DWORD>(rc));
  return rc;
}

const std::vector<ShortcutFolder>& ShortcutFolders() {
  // The program group and the desktop for all users where those folders
  // exist, else the user's own.
  static const std::vector<ShortcutFolder> folders = {
      {ShortcutPlace::ProgramGroup, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS,
       std::string("\\") + kProgramGroupName, true},
      {ShortcutPlace::Desktop, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOP, "", false},
      {ShortcutPlace::UserQuickLaunch, CSIDL_APPDATA, -1, kQuickLaunchSubpath, false},
      {ShortcutPlace::CommonQuickLaunch, CSIDL_COMMON_APPDATA, -1, kQuickLaunchSubpath, false},
  };
  return folders;
}

const ShortcutFolder& ShortcutFolderOf(ShortcutPlace place) {
  const auto& folders = ShortcutFolders();
  return *std::find_if(folders.begin(), folders.end(),
                       [place](const ShortcutFolder& folder) { return folder.place == place; });
}

std::string ShortcutBaseFolder(const ShortcutFolder& folder) {
  std::string base = GetSpecialFolder(folder.csidl);
  if (folder.fallbackCsidl >= 0 && !FolderExists(base)) {
    base = GetSpecialFolder(folder.fallbackCsidl);
  }
  return base;
}

std::string ShortcutFolderPath(const ShortcutFolder& folder) {
  const std::string base = ShortcutBaseFolder(folder);
  return base.empty() ? std::string() : base + folder.subfolder;
}

std::string LinkFileIn(const std::string& folder) {
  return folder + "\\" + kLinkName + kLinkFileExtension;
}

std::string UninstallProgramIn(const std::string& folder) {
  return folder + "\\" + kUninstallExeName;
}

std::string InstallLogInWindowsFolder(const std::string& windowsFolder) {
  return windowsFolder + kLogFileInWindows;
}

std::string InstallLogInInstallFolder(const std::string& installFolder) {
  return installFolder + kLogFileInInstallFolder;
}

}  // namespace vx
