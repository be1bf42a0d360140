// Reading the install log: the counts in "Document" bound the "Id_" entries of
// "Folders" and "Files"; damaged logs give what they hold and say what is
// missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "install/install_log.h"
#include "install/profile_text.h"
#include "program_support.h"
#include "uninstall_steps.h"

namespace vx::programs {
namespace {

using test::ScratchFolder;
using test::WriteFileBytes;
using Paths = std::vector<std::string>;

struct LogCase {
  const char* name;
  const char* text;
  Paths folders;
  Paths files;
  long long missing;
  Paths uncounted;
};

const LogCase kLogCases[] = {
    {"Complete",
     "[Document]\r\nFolders=1\r\nFiles=2\r\n[Folders]\r\nId_0=C:\\VX\r\nId_1=C:\\VX\\Help\r\n"
     "[Files]\r\nId_0=C:\\VX\\vxlite.exe\r\nId_1=C:\\VX\\Help\\a.chm\r\nId_2=C:\\VX\\reopen.ini\r\n",
     {"C:\\VX", "C:\\VX\\Help"},
     {"C:\\VX\\vxlite.exe", "C:\\VX\\Help\\a.chm", "C:\\VX\\reopen.ini"},
     0,
     {}},
    {"NothingCreated", "[Document]\r\nFolders=-1\r\nFiles=-1\r\n", {}, {}, 0, {}},
    {"KeysAboveTheCountsAreOld",
     "[Document]\r\nFolders=-1\r\nFiles=0\r\n[Folders]\r\nId_0=C:\\Old\r\n"
     "[Files]\r\nId_0=C:\\VX\\a\r\nId_1=C:\\Old\\b\r\n",
     {},
     {"C:\\VX\\a"},
     0,
     {}},
    {"EntriesMissingOrEmpty",
     "[Document]\r\nFolders=0\r\nFiles=3\r\n[Files]\r\nId_2=C:\\VX\\c\r\nId_0=C:\\VX\\a\r\n"
     "Id_1=\r\n",
     {},
     {"C:\\VX\\a", "C:\\VX\\c"},
     3,  // Folders Id_0, Files Id_1 (empty) and Id_3
     {}},
    {"NoCounts",
     "[Folders]\r\nId_0=C:\\VX\r\n[Files]\r\nId_1=C:\\VX\\b\r\nId_0=C:\\VX\\a\r\n",
     {"C:\\VX"},
     {"C:\\VX\\a", "C:\\VX\\b"},
     0,
     {"Folders", "Files"}},
    {"OnlyCanonicalKeysAnySpelling",
     "[Document]\r\nFolders=-1\r\nFiles=1\r\n[Files]\r\nid_1=C:\\VX\\b\r\nId_01=C:\\Bad\r\n"
     "Id_x=C:\\Bad\r\nOther=C:\\Bad\r\nId_0=C:\\VX\\a\r\n",
     {},
     {"C:\\VX\\a", "C:\\VX\\b"},
     0,
     {}},
    {"HugeCountStaysQuick",
     "[Document]\r\nFolders=-1\r\nFiles=2000000000\r\n[Files]\r\nId_0=C:\\VX\\a\r\n",
     {},
     {"C:\\VX\\a"},
     2000000000,
     {}},
    // The profile functions take one pair of like quotes off a value.
    {"QuotedValuesAndCounts",
     "[Document]\r\nFolders=\"-1\"\r\nFiles='3'\r\n[Files]\r\nId_0=\"C:\\VX\\a\"\r\n"
     "Id_1='C:\\VX\\b'\r\nId_2=\"C:\\VX\\c'\r\nId_3=\"\r\n",
     {},
     {"C:\\VX\\a", "C:\\VX\\b", "\"C:\\VX\\c'", "\""},
     0,
     {}},
    {"EmptyLineBeforeEachSection",
     "\r\n[Document]\r\nFolders=0\r\nFiles=0\r\n\r\n[Folders]\r\nId_0=C:\\VX\r\n"
     "\r\n[Files]\r\nId_0=C:\\VX\\a\r\n",
     {"C:\\VX"},
     {"C:\\VX\\a"},
     0,
     {}},
    // Not in the form the setup writes: read through the profile functions.
    {"BlanksLineFeedsAndLetterCase",
     "[document]\nFolders = 0\n  files=1\n[FOLDERS]\nId_0 =  C:\\VX  \n[Files]\n"
     "Id_0=C:\\VX\\a\nId_1=C:\\VX\\b\n",
     {"C:\\VX"},
     {"C:\\VX\\a", "C:\\VX\\b"},
     0,
     {}},
    {"AKeyTwiceTheFirstCounts",
     "[Document]\r\nFolders=-1\r\nFiles=0\r\n[Files]\r\nId_0=C:\\VX\\a\r\n"
     "ID_0=C:\\Other\r\n",
     {},
     {"C:\\VX\\a"},
     0,
     {}},
};

class ReadInstallLogTest : public ::testing::TestWithParam<LogCase> {};

// The log read whole where it is in the setup's form, and through the
// profile functions call by call: the same entries either way.
TEST_P(ReadInstallLogTest, GivesTheCountedEntriesInIndexOrder) {
  const LogCase& c = GetParam();
  ScratchFolder scratch;
  std::string path = scratch / "VXinstall.log";
  ASSERT_TRUE(WriteFileBytes(path, c.text));
  for (const InstallLog& log : {ReadInstallLog(path), ReadInstallLogWithProfileFunctions(path)}) {
    EXPECT_EQ(log.path, path);
    EXPECT_EQ(log.folders, c.folders);
    EXPECT_EQ(log.files, c.files);
    EXPECT_EQ(log.missingEntries, c.missing);
    EXPECT_EQ(log.uncounted, c.uncounted);
  }
}

INSTANTIATE_TEST_SUITE_P(Logs, ReadInstallLogTest, ::testing::ValuesIn(kLogCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadInstallLog, LongPathsAndManyEntriesWrittenByTheProfileFunctions) {
  ScratchFolder scratch;
  std::string path = scratch / "VXinstall.log";
  std::string deep = "C:\\" + std::string(200, 'd') + "\\" + std::string(200, 'e');
  Paths expected;
  ASSERT_TRUE(WritePrivateProfileStringA("Document", "Folders", "-1", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Document", "Files", "299", path.c_str()));
  for (int index = 0; index < 300; ++index) {
    expected.push_back(deep + "\\file" + std::to_string(index) + ".txt");
    ASSERT_TRUE(WritePrivateProfileStringA("Files", ("Id_" + std::to_string(index)).c_str(),
                                           expected.back().c_str(), path.c_str()));
  }
  // In the form the profile functions write: read whole, without their calls.
  std::string bytes;
  ProfileText text;
  EXPECT_TRUE(ReadProfileFile(path, bytes, text));
  InstallLog log = ReadInstallLog(path);
  EXPECT_EQ(log.files, expected);
  EXPECT_TRUE(log.folders.empty());
  EXPECT_EQ(log.missingEntries, 0);
}

TEST(IsInsideFolder, NamesOnlyWhatLiesBelow) {
  EXPECT_TRUE(IsInsideFolder("C:\\VX", "C:\\VX"));
  EXPECT_TRUE(IsInsideFolder("C:\\VX\\", "c:\\vx\\Help\\a.chm"));
  EXPECT_FALSE(IsInsideFolder("C:\\VX", "C:\\VXother\\a"));
  EXPECT_FALSE(IsInsideFolder("C:\\VX", "C:\\VX\\..\\Windows\\a.dll"));
  EXPECT_FALSE(IsInsideFolder("C:\\VX", "C:\\Windows"));
  EXPECT_FALSE(IsInsideFolder("", "C:\\VX\\a"));
}

TEST(CommandLine, ArgumentsAfterTheProgramName) {
  EXPECT_EQ(ArgumentsAfterProgram("\"C:\\a b\\u.exe\"  /S "), "/S");
  EXPECT_EQ(ArgumentsAfterProgram("u.exe"), "");
  EXPECT_EQ(SplitArguments("/cleanup 12 \"C:\\a b\\u.exe\" \"\""),
            (Paths{"/cleanup", "12", "C:\\a b\\u.exe", ""}));
  EXPECT_EQ(SingleArgument("  \"C:\\My Projects\\a.vx5\" "), "C:\\My Projects\\a.vx5");
  EXPECT_EQ(SingleArgument("C:\\My Projects\\a.vx5"), "C:\\My Projects\\a.vx5");
}

}  // namespace
}  // namespace vx::programs
