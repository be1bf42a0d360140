// The uninstall program run as the user runs it, over what an install leaves:
// everything the log and the setup's tables name goes, nothing else does, and
// what cannot go is reported.
#include <gtest/gtest.h>

#include <string>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "fixtures.h"
#include "installed_layout.h"
#include "program_runner.h"
#include "uninstall_steps.h"

namespace vx::test {
namespace {

constexpr DWORD kRunMs = 30000;
constexpr DWORD kBoxMs = 15000;
constexpr DWORD kSelfRemovalMs = 15000;
const std::string kMakerSibling = std::string(kSettingsKeys[0]) + "\\VantorexFull";

class UninstallTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // An uninstall's helper still running would delete the next test's program.
    EXPECT_TRUE(WaitForUninstallHelpers(kSelfRemovalMs));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kMakerSibling);
  }

  // Runs the uninstall program silently and returns its exit code.
  DWORD RunSilently(const std::string& program) {
    StartedProgram started;
    DWORD exitCode = 0xFFFFFFFF;
    EXPECT_TRUE(StartProgram(program, kSilentSwitch, started)) << program;
    EXPECT_TRUE(WaitForExit(started, kRunMs, exitCode));
    return exitCode;
  }

  // Runs it with questions: answers the confirmation, returns the report's
  // text (empty when declined) and the exit code.
  std::string RunAnswering(const std::string& program, int answer, DWORD& exitCode) {
    StartedProgram started;
    EXPECT_TRUE(StartProgram(program, "", started)) << program;
    std::string question = AnswerMessageBox(started.id, answer, kBoxMs);
    EXPECT_EQ(question, text::kUninstallQuestion);
    std::string report = answer == IDYES ? AnswerMessageBox(started.id, IDOK, kRunMs) : "";
    EXPECT_TRUE(WaitForExit(started, kRunMs, exitCode));
    return report;
  }

  ScratchFolder scratch_;
  InstalledLayout layout_{scratch_ / "VantorexLite"};
};

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(UninstallTest, SilentRunRemovesWhatTheSetupLeftAndKeepsTheUsersFiles) {
  ASSERT_TRUE(layout_.Create());
  const std::string usersFile = layout_.InstallFolder() + "\\my notes.txt";
  ASSERT_TRUE(WriteFileBytes(usersFile, "mine"));
  ASSERT_TRUE(WriteRegistryString(kMakerSibling, "Edition", "full"));  // another product
  ASSERT_TRUE(layout_.RegistryPresent());

  EXPECT_EQ(RunSilently(layout_.UninstallProgram()), static_cast<DWORD>(kUninstallExitDone));

  EXPECT_TRUE(layout_.LoggedFilesGone());
  for (size_t index = 1; index < layout_.LoggedFolders().size(); ++index) {
    EXPECT_FALSE(Exists(layout_.LoggedFolders()[index])) << layout_.LoggedFolders()[index];
  }
  EXPECT_TRUE(FileExists(usersFile));
  EXPECT_TRUE(FolderExists(layout_.InstallFolder()));
  EXPECT_TRUE(layout_.RegistryGone());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));  // the setup may run again
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMakerSibling));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExplorerFileExtsKey));
  EXPECT_FALSE(Exists(layout_.InstallFolder() + "\\Projects\\Compiled"));  // made as a parent
  EXPECT_TRUE(layout_.Shortcuts().Gone());
  EXPECT_FALSE(Exists(layout_.LogPath()));
  EXPECT_TRUE(WaitUntilGone(layout_.UninstallProgram(), kSelfRemovalMs));
}

TEST_F(UninstallTest, DecliningTheQuestionTouchesNothing) {
  ASSERT_TRUE(layout_.Create());
  DWORD exitCode = 0;
  RunAnswering(layout_.UninstallProgram(), IDNO, exitCode);
  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitDeclined));
  EXPECT_TRUE(layout_.RegistryPresent());
  EXPECT_TRUE(FileExists(layout_.LoggedFiles()[0]));
  EXPECT_TRUE(FileExists(layout_.LogPath()));
  EXPECT_TRUE(FileExists(layout_.UninstallProgram()));
  for (const std::string& link : layout_.Shortcuts().Links()) EXPECT_TRUE(FileExists(link)) << link;
}

TEST_F(UninstallTest, PartialLogRemovesWhatItNamesAndReportsTheRest) {
  ASSERT_TRUE(layout_.Create());
  const char* log = layout_.LogPath().c_str();
  const size_t files = layout_.LoggedFiles().size();
  // Two entries counted but never written, one naming a file outside the
  // install folder, and one file held open by another program.
  const std::string outside = scratch_ / "outside.txt";
  ASSERT_TRUE(WriteFileBytes(outside, "not the product's"));
  ASSERT_TRUE(WritePrivateProfileStringA("Document", "Files", std::to_string(files + 2).c_str(), log));
  ASSERT_TRUE(WritePrivateProfileStringA("Files", ("Id_" + std::to_string(files)).c_str(),
                                         outside.c_str(), log));
  const std::string held = layout_.LoggedFiles()[3];
  FileHandle holder(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);

  DWORD exitCode = 0;
  std::string report = RunAnswering(layout_.UninstallProgram(), IDYES, exitCode);
  holder.reset();

  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitIncomplete));
  EXPECT_NE(report.find(text::kUninstallLeftIntro), std::string::npos) << report;
  EXPECT_NE(report.find(std::string(text::kUninstallLogIncomplete) + "2"), std::string::npos)
      << report;
  EXPECT_NE(report.find(text::kUninstallFileLeft + held), std::string::npos) << report;
  EXPECT_NE(report.find(text::kUninstallOutside + outside), std::string::npos) << report;
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(FileExists(held));
  for (const std::string& file : layout_.LoggedFiles()) {
    if (file != held) {
      EXPECT_FALSE(Exists(file)) << file;
    }
  }
  EXPECT_TRUE(layout_.RegistryGone());
  EXPECT_FALSE(Exists(layout_.LogPath()));
}

// Another program of the user turned a logged folder into a link to a folder
// of its choice that holds a file of a logged name: the elevated uninstall
// deletes nothing through it and says what it left.
TEST_F(UninstallTest, ALinkPutInTheInstallFolderIsNotFollowed) {
  ASSERT_TRUE(layout_.Create());
  ScratchFolder elsewhere;
  const std::string help = layout_.InstallFolder() + "\\Help";
  ASSERT_TRUE(WriteFileBytes(elsewhere / "vxlite.chm", "the user's own"));
  ASSERT_TRUE(RemoveTree(help));
  ASSERT_TRUE(PlantLink(help, elsewhere.path()));

  DWORD exitCode = 0;
  const std::string report = RunAnswering(layout_.UninstallProgram(), IDYES, exitCode);

  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitIncomplete));
  EXPECT_TRUE(FileExists(elsewhere / "vxlite.chm"));
  EXPECT_NE(report.find(text::kUninstallLinkLeft + help + "\\vxlite.chm"), std::string::npos)
      << report;
  EXPECT_NE(report.find(text::kUninstallLinkLeft + help), std::string::npos) << report;
  EXPECT_FALSE(Exists(layout_.InstallFolder() + "\\vxlite.exe"));  // the rest goes
  EXPECT_TRUE(layout_.RegistryGone());
}

TEST_F(UninstallTest, WithoutARecordedFolderNothingOutsideTheLoggedFoldersGoes) {
  ASSERT_TRUE(layout_.Create());
  {
    RegKey record;
    ASSERT_EQ(OpenRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_SET_VALUE, record),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(record.get(), "InstallLocation"), ERROR_SUCCESS);
  }
  // A logged file outside every folder the log lists as made by the install.
  const std::string outside = scratch_ / "outside.txt";
  ASSERT_TRUE(WriteFileBytes(outside, "not the product's"));
  const char* log = layout_.LogPath().c_str();
  const size_t files = layout_.LoggedFiles().size();
  ASSERT_TRUE(WritePrivateProfileStringA("Document", "Files", std::to_string(files).c_str(), log));
  ASSERT_TRUE(WritePrivateProfileStringA("Files", ("Id_" + std::to_string(files)).c_str(),
                                         outside.c_str(), log));

  EXPECT_EQ(RunSilently(layout_.UninstallProgram()), static_cast<DWORD>(kUninstallExitIncomplete));
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(layout_.LoggedFilesGone());  // all inside the logged install folder
  EXPECT_TRUE(layout_.RegistryGone());
}

TEST_F(UninstallTest, MissingLogLeavesTheFilesAndSaysSo) {
  ASSERT_TRUE(layout_.Create());
  ASSERT_TRUE(DeleteFileA(layout_.LogPath().c_str()));

  DWORD exitCode = 0;
  std::string report = RunAnswering(layout_.UninstallProgram(), IDYES, exitCode);

  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitIncomplete));
  EXPECT_NE(report.find(text::kUninstallNoLog), std::string::npos) << report;
  EXPECT_NE(report.find(text::kUninstallInstallFolder + layout_.InstallFolder()), std::string::npos)
      << report;
  for (const std::string& file : layout_.LoggedFiles()) {
    if (file.find("UninstallVXLite") == std::string::npos) {
      EXPECT_TRUE(FileExists(file)) << file;
    }
  }
  EXPECT_TRUE(layout_.RegistryGone());
  EXPECT_TRUE(layout_.Shortcuts().Gone());
  EXPECT_TRUE(WaitUntilGone(layout_.UninstallProgram(), kSelfRemovalMs));
}

TEST_F(UninstallTest, LogBesideTheProgramRemovesTheWholeInstallFolder) {
  ASSERT_TRUE(layout_.Create(false));
  ASSERT_TRUE(FileExists(layout_.UninstallProgram()));

  EXPECT_EQ(RunSilently(layout_.UninstallProgram()), static_cast<DWORD>(kUninstallExitDone));

  EXPECT_TRUE(layout_.RegistryGone());
  EXPECT_FALSE(Exists(layout_.LogPath()));
  // The program's own file, and with it the emptied install folder, go
  // after it has ended.
  EXPECT_TRUE(WaitUntilGone(layout_.InstallFolder(), kSelfRemovalMs));
}

TEST_F(UninstallTest, RefusesWhileTheProductRuns) {
  ASSERT_TRUE(layout_.Create());
  StartedProgram product;
  ASSERT_TRUE(StartProgram(layout_.LoggedFiles()[0], "", product));
  HWND window = WaitForWindow(kProductWindowClassName, product.id, kRunMs);
  ASSERT_TRUE(window);

  EXPECT_EQ(RunSilently(layout_.UninstallProgram()),
            static_cast<DWORD>(kUninstallExitProductRunning));
  EXPECT_TRUE(layout_.RegistryPresent());
  EXPECT_TRUE(FileExists(layout_.LogPath()));

  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 0;
  EXPECT_TRUE(WaitForExit(product, kRunMs, exitCode));
}

}  // namespace
}  // namespace vx::test
