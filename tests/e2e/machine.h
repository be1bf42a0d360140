// What an install leaves on the machine, read from outside the setup: files
// compared with the payload, registry values (HKEY_LOCAL_MACHINE in the
// 32-bit view the setup writes), the install log, links and the uninstaller.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "setup_run.h"

namespace vx::e2e {

using Arguments = std::vector<std::string>;

// Whether a registry key exists (HKEY_LOCAL_MACHINE: in the 32-bit view).
bool KeyExists(HKEY root, const char* path);

bool PathExists(const std::string& path);

// The whole content of a file; fails the scenario when it cannot be read.
std::string ReadBytes(const std::string& path);

std::string WindowsFolder();

// Nothing of the product is on the machine: no folder, record, log or uninstaller.
void RequireNothingInstalled(const std::string& installFolder);

// The folder page 3 proposes: "VantorexLite" under Program Files.
std::string DefaultInstallFolder();

// The payload folder as the driver sees it: a Unix path is reached through
// Wine's Z: drive.
std::string PayloadFolder(const Arguments& arguments);

// The text in lower case, as Windows compares file names.
std::string Lowercase(std::string text);

// Every file under folder, as "\relative\path", sorted without case.
std::vector<std::string> FilesUnder(const std::string& folder);

// A REG_SZ value, or nothing when the key or the value is missing.
std::optional<std::string> ReadString(HKEY root, const std::string& path, const char* name);

// Fails the scenario unless the REG_SZ value is there with this text.
void RequireString(HKEY root, const std::string& path, const char* name,
                   const std::string& expected);

// Everything a complete install leaves, checked against the payload it came
// from: the files (bytes and dates), the uninstaller moved to the Windows
// folder, the registry entries, the install log and the links.
void RequireInstalled(const std::string& folder, const std::string& payload);

// Nothing of an install is left, registry and links included.
void RequireNothingLeft(const std::string& folder);

// Runs the uninstall program the record names, without questions.
void UninstallSilently();

// What an install can change, read before and compared after: every file
// under the given folders (with its bytes), the names and sizes of the files
// directly in the Windows folder, the link files and program group, and the
// registry keys of the setup's footprint (every subkey and value).
class MachineState {
 public:
  explicit MachineState(const std::vector<std::string>& folders);
  // One line per difference from `before`; empty when there is none.
  std::vector<std::string> DifferencesFrom(const MachineState& before) const;
  // Fails the scenario, naming the first differences, unless there is none.
  void RequireSameAs(const MachineState& before, const std::string& when) const;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;  // sorted: what, content
};

// A JDK registered the way its own installer does, with its compiler.
void RegisterJdk(const std::string& version, const std::string& home);

// The installed product's main window when one is shown, else null.
HWND VisibleProductWindow();

// Whether a process (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs
// with an elevated token; fails the scenario when its token cannot be read.
bool RunsElevated(HANDLE process);

// The process that started the given one (0 when it is not found).
DWORD ParentProcessOf(DWORD processId);

// The process of the desktop shell of this session (0 when there is none).
DWORD DesktopShellProcess();

// The text of the run log the setup wrote into the temporary folder; fails
// the scenario unless there is exactly one.
std::string SetupRunLog();

}  // namespace vx::e2e
