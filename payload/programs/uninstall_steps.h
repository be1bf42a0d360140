// The uninstall program's steps: read the install log the setup wrote, remove
// what it names and what the setup's own tables name (registry keys,
// shortcuts), and remove the program's own file once it has ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vx::programs {

// What the uninstall could not do, for the closing report.
class UninstallReport {
 public:
  // Something named for removal is still there (or could not be looked at).
  void Left(const char* what, const std::string& item, DWORD error);
  void Left(const char* what, const std::string& item);
  // Worth telling, but nothing failed (a folder kept for the user's files).
  void Note(const char* what, const std::string& item);

  bool Incomplete() const { return incomplete_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  bool incomplete_ = false;
};

// The install log as read: the entries of "Folders" and "Files" in index
// order, up to the highest index "Document" gives for each.
struct InstallLog {
  std::string path;  // empty: no log was found
  std::vector<std::string> folders;
  std::vector<std::string> files;
  long long missingEntries = 0;          // counted in "Document" but absent or empty
  std::vector<std::string> uncounted;    // sections whose count is missing
};

// "VXinstall.log" in the Windows folder, else "install.log" in the program's
// own folder; empty when neither exists.
std::string FindInstallLog(const std::string& programFolder);
// Read whole where the file is in the form the setup writes it, else through
// the profile functions; the same entries either way.
InstallLog ReadInstallLog(const std::string& path);
InstallLog ReadInstallLogWithProfileFunctions(const std::string& path);

// The install folder the uninstall record names, empty when there is none.
std::string RecordedInstallFolder();

// Deletes the logged files, first to last. Entries outside installFolder (when
// it is known) and the entry equal to keep are left alone; a file that is
// already gone is not reported.
void RemoveLoggedFiles(const InstallLog& log, const std::string& installFolder,
                       const std::string& keep, UninstallReport& report);
// Removes the logged folders that are empty, last to first. The folder equal
// to keep is left for the self-removal.
void RemoveLoggedFolders(const InstallLog& log, const std::string& installFolder,
                         const std::string& keep, UninstallReport& report);

// The setup's keys: file association, uninstall record, product settings and
// the current user's Explorer entries for ".vx5".
void RemoveSetupRegistryKeys(UninstallReport& report);
// The setup's shortcuts, in the folders the setup chose for them, and the
// program group folder when it is empty.
void RemoveShortcuts(UninstallReport& report);

// Starts a temporary copy of this program that waits until this process has
// ended, then deletes ownPath and removes folder (if given and empty). Falls
// back to deletion when Windows restarts. True when the helper runs.
bool StartSelfRemoval(const std::string& ownPath, const std::string& folder,
                      UninstallReport& report);
// The helper copy's work; arguments after the self-removal switch.
int RunSelfRemovalHelper(const std::vector<std::string>& arguments);

}  // namespace vx::programs
