// What a completed install leaves behind, laid out where the setup leaves it:
// the files and folders of an install folder, the install log and the
// uninstall program's copy in the Windows folder, the registry entries and the
// shortcuts. All of it goes to the real places of the Wine prefix (registry
// included), because the uninstall program runs as a process of its own.
// Whatever is left is removed when the object goes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vx::test {

// The shortcuts the wizard makes after an install, where it makes them: the
// all-users programs menu and desktop exist in this prefix; the Quick Launch
// folders are made for them. Removed again when the object goes.
class SetupShortcuts {
 public:
  SetupShortcuts() = default;
  ~SetupShortcuts();
  SetupShortcuts(const SetupShortcuts&) = delete;
  SetupShortcuts& operator=(const SetupShortcuts&) = delete;

  ::testing::AssertionResult Create(const std::string& installFolder);
  const std::vector<std::string>& Links() const { return links_; }
  const std::string& ProgramGroup() const { return programGroup_; }
  // The links and the program group folder are gone.
  ::testing::AssertionResult Gone() const;

 private:
  std::vector<std::string> links_;
  std::string programGroup_;
  std::vector<std::string> madeFolders_;  // folders made here, parents first
};

// The setup's registry keys (HKEY_LOCAL_MACHINE in the product's view), each
// checked as the wizard checks the uninstall record: opened for reading.
::testing::AssertionResult SetupKeysGone();

// Removes what an install leaves in the prefix's registry and Windows folder
// (the maker's key only when nothing else is in it).
void RemoveSetupTraces();

class InstalledLayout {
 public:
  // installFolder: created by Create (it is the first logged folder).
  explicit InstalledLayout(std::string installFolder);
  ~InstalledLayout();
  InstalledLayout(const InstalledLayout&) = delete;
  InstalledLayout& operator=(const InstalledLayout&) = delete;

  // Files, folders, registry entries, shortcuts, the uninstall program's copy
  // and the install log; logInWindowsFolder false writes "install.log" in the
  // install folder and leaves the uninstall program there, as the setup does
  // without a Windows folder.
  ::testing::AssertionResult Create(bool logInWindowsFolder = true);

  const std::string& InstallFolder() const { return installFolder_; }
  const std::string& LogPath() const { return logPath_; }
  // The uninstall program the uninstall record names.
  const std::string& UninstallProgram() const { return uninstallProgram_; }
  const std::vector<std::string>& LoggedFolders() const { return folders_; }
  const std::vector<std::string>& LoggedFiles() const { return files_; }
  const SetupShortcuts& Shortcuts() const { return shortcuts_; }

  // Failures of the checks below name what is still there (or gone).
  ::testing::AssertionResult RegistryGone() const;
  ::testing::AssertionResult RegistryPresent() const;
  ::testing::AssertionResult LoggedFilesGone() const;

 private:
  std::string installFolder_;
  std::string logPath_;
  std::string uninstallProgram_;
  std::vector<std::string> folders_;
  std::vector<std::string> files_;
  SetupShortcuts shortcuts_;
};

// True when a key can be opened for reading (HKEY_LOCAL_MACHINE in the
// product's view), as the setup's "is it installed" test opens the record.
bool KeyExists(HKEY root, const std::string& path);

}  // namespace vx::test
