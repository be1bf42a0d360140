// The install log written in one piece must be byte for byte what one
// WritePrivateProfileStringA call per entry makes of the same starting file:
// each starting state below is copied, one copy gets the log's writer, the
// other the profile functions, and the two files must be equal.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "fixtures.h"
#include "install/install_log.h"

namespace vx::test {
namespace {

const std::string kDir = "C:\\Program Files\\VantorexLite";
const std::vector<std::string> kFolders = {kDir, kDir + "\\Skins", kDir + "\\Projects\\Samples"};
const std::vector<std::string> kFiles = {
    kDir + "\\vxlite.exe", kDir + "\\Skins\\green.skn",
    kDir + "\\Projects\\Samples\\Caf\xE9 \x99.vx5",  // Windows-1252 letters
    kDir + "\\reopen.ini"};
// An earlier install with longer lists, into another folder.
const std::vector<std::string> kOldFolders = {"C:\\Old", "C:\\Old\\a", "C:\\Old\\b", "C:\\Old\\c",
                                              "C:\\Old\\d"};
const std::vector<std::string> kOldFiles = {"C:\\Old\\1", "C:\\Old\\2", "C:\\Old\\3",
                                            "C:\\Old\\4", "C:\\Old\\5", "C:\\Old\\6",
                                            "C:\\Old\\7", "C:\\Old\\reopen.ini"};

bool WriteWithProfileFunctions(const std::string& path, const std::vector<LogEntry>& entries) {
  for (const LogEntry& entry : entries) {
    if (!WritePrivateProfileStringA(entry.section.c_str(), entry.key.c_str(),
                                    entry.value.c_str(), path.c_str())) {
      return false;
    }
  }
  return true;
}

// A file as the profile functions write the entries into a new file.
std::string ProfileWritten(const std::string& path, const std::vector<LogEntry>& entries) {
  std::string bytes;
  EXPECT_TRUE(WriteWithProfileFunctions(path, entries) && ReadFileBytes(path, bytes)) << path;
  return bytes;
}

constexpr int kEveryEntry = -1;

struct LogCase {
  std::string name;
  std::optional<std::string> start;  // the file before; none: no file
  std::vector<std::string> folders;
  std::vector<std::string> files;
  // How many entries the writer left to the profile functions: an exact
  // count, kEveryEntry, or none where it depends on the system's layout.
  std::optional<int> profileCalls;
};

class InstallLogFileTest : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

TEST_F(InstallLogFileTest, WrittenInOnePieceAsTheProfileFunctionsWriteIt) {
  auto seed = [this, n = 0](const std::vector<LogEntry>& entries) mutable {
    return ProfileWritten(scratch_ / ("seed" + std::to_string(n++) + ".log"), entries);
  };
  const std::string oldLog = seed(InstallLogEntries(kOldFolders, kOldFiles));
  const std::string sameLog = seed(InstallLogEntries(kFolders, kFiles));
  ASSERT_FALSE(oldLog.empty());
  ASSERT_FALSE(sameLog.empty());
  // Names in other letter cases, written by the profile functions.
  const std::string otherCase = seed({{"DOCUMENT", "folders", "7"},
                                      {"files", "ID_0", "C:\\Old\\1"},
                                      {"files", "id_5", "C:\\Old\\6"},
                                      {"document", "FILES", "9"}});
  // Someone else's section first.
  const std::string foreign = seed({{"Other", "Key", "kept"}, {"Files", "Id_9", "C:\\Old\\9"}});
  std::string duplicate = oldLog + "Id_3=C:\\Old\\again\r\n";  // "Files" is the last section
  std::string lfOnly = sameLog;
  for (size_t at = lfOnly.find("\r\n"); at != std::string::npos; at = lfOnly.find("\r\n", at)) {
    lfOnly.erase(at, 1);
  }

  const std::vector<LogCase> cases = {
      {"no log", std::nullopt, kFolders, kFiles, 3},  // each section made by the profile functions
      {"an empty file", "", kFolders, kFiles, 3},
      {"a longer old log", oldLog, kFolders, kFiles, 0},
      {"the same log", sameLog, kFolders, kFiles, 0},
      {"no folder created, no log", std::nullopt, {}, kFiles, 2},
      {"no folder created, over a longer old log", oldLog, {}, kFiles, 0},
      {"names in other letter cases", otherCase, kFolders, kFiles, 1},
      {"someone else's section first", foreign, kFolders, kFiles, 2},
      {"blanks around names and values and extra empty lines",
       "[Document]\r\nFolders = 3\r\n Files=2\r\n\r\n\r\n[Files]\r\nId_0= C:\\x \r\n", kFolders,
       kFiles, kEveryEntry},
      {"a byte-order mark", "\xEF\xBB\xBF" + oldLog, kFolders, kFiles, kEveryEntry},
      {"duplicate keys", duplicate, kFolders, kFiles, kEveryEntry},
      {"lines ending in LF only", lfOnly, kFolders, kFiles, kEveryEntry},
      {"no line end after the last line", oldLog.substr(0, oldLog.size() - 2), kFolders, kFiles,
       kEveryEntry},
      {"a comment line", oldLog + ";note\r\n", kFolders, kFiles, kEveryEntry},
      {"a section line with text after it", "[Document] x\r\nFiles=1\r\n", kFolders, kFiles,
       kEveryEntry},
      {"sections without empty lines between them",
       "[Document]\r\nFolders=0\r\n[Files]\r\nId_0=C:\\x\r\n", kFolders, kFiles, std::nullopt},
      // The profile functions trim the blank at the start of a value: that
      // entry and those after it are left to them.
      {"a value with a blank in front", oldLog, kFolders, {kFiles[0], " C:\\x", kFiles[1]}, 2},
  };

  for (size_t index = 0; index < cases.size(); ++index) {
    const LogCase& c = cases[index];
    SCOPED_TRACE(c.name);
    // A folder per case: the profile functions keep recent files cached.
    const std::string folder = scratch_ / ("case" + std::to_string(index));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string merged = folder + "\\merged.log";
    const std::string reference = folder + "\\reference.log";
    if (c.start) {
      ASSERT_TRUE(WriteFileBytes(merged, *c.start));
      ASSERT_TRUE(WriteFileBytes(reference, *c.start));
    }
    const std::vector<LogEntry> entries = InstallLogEntries(c.folders, c.files);

    size_t profileCalls = 0;
    ASSERT_TRUE(WriteLogEntries(merged, entries, &profileCalls));
    ASSERT_TRUE(WriteWithProfileFunctions(reference, entries));

    std::string mergedBytes, referenceBytes;
    ASSERT_TRUE(ReadFileBytes(merged, mergedBytes));
    ASSERT_TRUE(ReadFileBytes(reference, referenceBytes));
    EXPECT_EQ(mergedBytes, referenceBytes);
    if (c.profileCalls) {
      EXPECT_EQ(profileCalls, *c.profileCalls == kEveryEntry
                                  ? entries.size()
                                  : static_cast<size_t>(*c.profileCalls));
    }
  }
}

TEST_F(InstallLogFileTest, FailsLikeTheProfileFunctionsWhereTheFileCannotBeWritten) {
  const std::vector<LogEntry> entries = InstallLogEntries(kFolders, kFiles);
  EXPECT_FALSE(WriteLogEntries(scratch_ / "no-such-folder\\VXinstall.log", entries));

  // The log's name taken by a folder (Wine running as root writes
  // read-only files, so that is the refusal it can show).
  const std::string log = scratch_ / "VXinstall.log";
  ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));
  EXPECT_FALSE(WriteLogEntries(log, entries));
  EXPECT_FALSE(WriteWithProfileFunctions(log, entries));
  EXPECT_TRUE(FolderExists(log));
}

}  // namespace
}  // namespace vx::test
