// What an install leaves on the machine, in one place: the registry keys with
// their values, the folders that get a shortcut, and the names and places of
// the uninstall program, the install log and the link. The install writes
// from these tables; its rollback, the uninstall program, the wizard's
// shortcuts and the tests that check a machine read the same tables.
//
// Adding a key: one row in FootprintKeys() (footprint.cpp). The install step
// its writer names writes it, the rollback puts it back as it was, the
// uninstall program removes it as its removal says, and the tests check it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vx {

// ---------------------------------------------------------------- registry
// The install step that writes a key; each step has its own rule for a
// failure (install/registry_steps.cpp).
enum class KeyWriter : uint8_t {
  None,              // never written by this setup; removed all the same
  ProductSettings,   // under HKEY_LOCAL_MACHINE only; one chain: every key first,
                     // then the values; stops at the first failure
  FileAssociation,   // a failure ends the install run
  ApplicationEntry,  // a key that fails is skipped
  ExplorerChoices,   // a key the user's account may not write is skipped
  UninstallRecord,   // a failure ends the install run
};

// What removes a key besides a rollback, which puts every written key back
// as it was before the run.
enum class KeyRemoval : uint8_t {
  WithParent,  // goes with a key above it that is removed
  Entry,       // deleted with its subkeys by the uninstall program
  Setting,     // deleted with its subkeys by the uninstall program only: the
               // product's settings and the user's Explorer choices
  IfEmpty,     // deleted by the uninstall program only when nothing is left
               // in it (the maker's key, which other products share)
};

// Where the data of a value comes from.
enum class ValueSource : uint8_t {
  Fixed,                // the row's text (REG_SZ) or number (REG_DWORD)
  ProjectsFolder,       // <install folder>\Projects
  ProductIcon,          // <install folder>\vxlite.exe,0
  ProductOpenCommand,   // "<install folder>\vxlite.exe" "%1"
  LauncherOpenCommand,  // "<install folder>\vxlancelite.exe" "%1"
  SetupVersion,         // the setup's own file version
  UninstallCommand,     // the uninstall program where it was placed, quoted when it holds a blank
  InstallLocation,      // the install folder; a drive root keeps its backslash
  InstallDate,          // yyyymmdd, local time
  PackageSizeKb,        // the package's size in KiB (REG_DWORD)
  JdkHome,              // these four only when a tool was picked
  JdkVersion,
  WtkRoot,
  WtkVersion,
};

struct FootprintValue {
  std::string name;  // "" for the key's default value
  DWORD type;        // REG_SZ or REG_DWORD
  ValueSource source;
  std::string text;  // data of a fixed REG_SZ value
  int32_t number;    // data of a fixed REG_DWORD value
};

struct FootprintKey {
  HKEY root;  // HKEY_LOCAL_MACHINE is reached in the product's view (WithProductView)
  std::string path;
  KeyWriter writer;
  KeyRemoval removal;
  std::vector<FootprintValue> values;  // in the order written
};

// Every key of the footprint; the written ones in the order the install run
// writes them.
const std::vector<FootprintKey>& FootprintKeys();

// What the data of the values depends on. A fact left empty leaves its
// values out (no JDK picked; a test that cannot know the package's size).
struct InstallFacts {
  std::string installFolder;  // without trailing backslash
  std::optional<std::string> setupVersion;
  std::optional<std::string> installDate;
  std::optional<int32_t> packageSize;
  std::optional<std::string> jdkHome, jdkVersion, wtkRoot, wtkVersion;
  // Asked when the value is written: the install places the program then.
  std::function<std::string()> uninstallProgram;
};

struct ResolvedValue {
  DWORD type;  // REG_SZ or REG_DWORD
  std::string text;
  int32_t number;
};

// The data a value gets from these facts; nothing when they do not give it.
std::optional<ResolvedValue> ResolveValue(const FootprintValue& value, const InstallFacts& facts);

// How a key is opened for writing.
enum class KeyOpening {
  Direct,         // the whole path in one call, creating what is missing
  ThroughParent,  // the parent first, for writing (created when missing), then
                  // the key below it: a parent that refuses to be written or
                  // to get a new key refuses the key
};

// Opens the key (creating it and its parents) and writes the values the
// facts give, in order. The first failure is returned.
LONG WriteFootprintKey(const FootprintKey& key, const InstallFacts& facts,
                       KeyOpening opening = KeyOpening::Direct);

// ---------------------------------------------------------------- shortcuts
enum class ShortcutPlace : uint8_t { ProgramGroup, Desktop, UserQuickLaunch, CommonQuickLaunch };

struct ShortcutFolder {
  ShortcutPlace place;
  int csidl;
  int fallbackCsidl;      // used when csidl's folder does not exist; -1: none
  std::string subfolder;  // below that folder: "" or "\..."
  bool madeBySetup;       // the setup makes it, and the uninstall removes it once
                          // empty; any other folder gets a link only when it exists
};

// The folders that get a link to the product, in the order the links are made.
const std::vector<ShortcutFolder>& ShortcutFolders();
const ShortcutFolder& ShortcutFolderOf(ShortcutPlace place);

// The special folder a shortcut folder lies in: csidl's folder, or the
// fallback's when that does not exist. Empty when Windows names none.
std::string ShortcutBaseFolder(const ShortcutFolder& folder);
// The shortcut folder itself; empty when its base folder is.
std::string ShortcutFolderPath(const ShortcutFolder& folder);
// "<folder>\VantorexLite.lnk".
std::string LinkFileIn(const std::string& folder);

// ---------------------------------------------------------------- files
// "<folder>\uninstallvxlite.exe": the uninstall program's place in the
// Windows folder, or in the install folder when it could not be moved.
std::string UninstallProgramIn(const std::string& folder);
// The install log: "VXinstall.log" in the Windows folder, or "install.log"
// in the install folder when there is no Windows folder.
std::string InstallLogInWindowsFolder(const std::string& windowsFolder);
std::string InstallLogInInstallFolder(const std::string& installFolder);

}  // namespace vx
