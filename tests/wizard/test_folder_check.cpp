// The install folder checks: the decision from a table of Windows' answers,
// and the real check on real folders and drives of the Wine prefix.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "package/package.h"
#include "fixtures.h"
#include "wizard/folder_check.h"
#include "wizard_test_support.h"

namespace vx {
namespace {

constexpr uint64_t kMB = 1024 * 1024;

struct DecisionCase {
  const char* name;
  const char* folder;
  UINT driveType;
  FreeSpaceAnswer freeSpace;
  bool creatable;
  bool passes;
  const char* reason;
};

// Test names show the row's name, not its bytes.
void PrintTo(const DecisionCase& row, std::ostream* out) { *out << row.name; }

const FreeSpaceAnswer kPlenty{true, 500 * kMB, 0};

// clang-format off
const DecisionCase kDecisions[] = {
  {"NoDrive",          "VantorexLite",                 DRIVE_FIXED,       kPlenty, true,  false, "\"VantorexLite\" is invalid path."},
  {"UncPath",          "\\\\server\\share\\VantorexLite", DRIVE_REMOTE,   kPlenty, true,  false, "\"\\\\server\\share\\VantorexLite\" is invalid path."},
  {"ForwardSlash",     "D:/Apps",                      DRIVE_FIXED,       kPlenty, true,  false, "\"D:/Apps\" is invalid path."},
  {"TypeUnknown",      "D:\\Apps",                     DRIVE_UNKNOWN,     kPlenty, true,  false, "The drive type cannot be determined."},
  {"TypeNoRoot",       "D:\\Apps",                     DRIVE_NO_ROOT_DIR, kPlenty, true,  false, "The root directory does not exist."},
  {"TypeRemovable",    "D:\\Apps",                     DRIVE_REMOVABLE,   kPlenty, true,  true,  ""},
  {"TypeFixed",        "D:\\Apps",                     DRIVE_FIXED,       kPlenty, true,  true,  ""},
  {"TypeRemote",       "D:\\Apps",                     DRIVE_REMOTE,      kPlenty, true,  true,  ""},
  {"TypeCdrom",        "D:\\Apps",                     DRIVE_CDROM,       kPlenty, true,  false, "The drive is a CD-ROM drive."},
  {"TypeRamdisk",      "D:\\Apps",                     DRIVE_RAMDISK,     kPlenty, true,  true,  ""},
  {"TypeOther",        "D:\\Apps",                     7,                 kPlenty, true,  false, ""},
  {"DriveQueryFails",  "D:\\Apps\\VantorexLite",       DRIVE_FIXED,       {false, 0, 21}, true, false, "Invalid drive \"D:\\\". System Error Code=21"},
  {"NoSpace",          "D:\\Apps",                     DRIVE_FIXED,       {true, 0, 0}, true, false, "Not enough free disk space on drive \"D:\\\". Available space=0 MB"},
  {"Exactly32MB",      "D:\\Apps",                     DRIVE_FIXED,       {true, 32 * kMB, 0}, true, false, "Not enough free disk space on drive \"D:\\\". Available space=32 MB"},
  {"JustUnder33MB",    "D:\\Apps",                     DRIVE_FIXED,       {true, 33 * kMB - 1, 0}, true, false, "Not enough free disk space on drive \"D:\\\". Available space=32 MB"},
  {"Exactly33MB",      "D:\\Apps",                     DRIVE_FIXED,       {true, 33 * kMB, 0}, true, true, ""},
  {"FiveTerabytes",    "D:\\Apps",                     DRIVE_FIXED,       {true, 5ULL << 40, 0}, true, true, ""},
  {"NotCreatable",     "D:\\Apps\\VantorexLite",       DRIVE_FIXED,       kPlenty, false, false, "Folder \"D:\\Apps\\VantorexLite\" cannot be created"},
  {"FirstFailureWins", "D:\\Apps",                     DRIVE_CDROM,       {true, 0, 0}, false, false, "The drive is a CD-ROM drive."},
  {"DriveRoot",        "C:\\",                         DRIVE_FIXED,       kPlenty, true,  true,  ""},
  // Above 32 MB, what the install takes on that drive is needed.
  {"InstallTakesMore", "D:\\Apps",                     DRIVE_FIXED,       {true, 34 * kMB, 0, 34 * kMB + 1}, true, false, "Not enough free disk space on drive \"D:\\\". Available space=34 MB"},
  {"InstallFitsExactly", "D:\\Apps",                   DRIVE_FIXED,       {true, 34 * kMB, 0, 34 * kMB}, true, true, ""},
  {"SmallInstallStill33MB", "D:\\Apps",                DRIVE_FIXED,       {true, 32 * kMB, 0, 1 * kMB}, true, false, "Not enough free disk space on drive \"D:\\\". Available space=32 MB"},
};
// clang-format on

class FolderDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(FolderDecision, GivesTheFirstFailedCheckAndItsReason) {
  const DecisionCase& row = GetParam();
  std::string reason = "untouched";
  EXPECT_EQ(DecideInstallFolder(row.folder, row.driveType, row.freeSpace, row.creatable, reason),
            row.passes);
  if (!row.passes) {
    EXPECT_EQ(reason, row.reason);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FolderDecision, ::testing::ValuesIn(kDecisions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FolderCheckParts, LongestItemPathMustFitWhatTheSetupCanWrite) {
  // The folder as handed on has no trailing backslash: 3 + 200 characters.
  const std::string folder = "D:\\" + std::string(200, 'a') + "\\";
  const size_t folderLength = 203;
  std::string reason;
  EXPECT_TRUE(DecideInstallFolder(folder, DRIVE_FIXED, kPlenty, true, reason,
                                  kLongestWritablePath - folderLength));
  EXPECT_FALSE(DecideInstallFolder(folder, DRIVE_FIXED, kPlenty, true, reason,
                                   kLongestWritablePath - folderLength + 1));
  EXPECT_EQ(reason, "The folder name is too long: a file of the product would get a path of 260 "
                    "characters, longer than the 259 Windows allows.");
}

TEST(FolderCheckParts, BytesNeededRoundsToClustersAndCountsThePackageOnTheSameDrive) {
  InstallFootprint footprint;
  footprint.itemBytes = {0, 1, 4096, 4097};
  footprint.packageBytes = 10000;
  EXPECT_EQ(BytesNeeded(footprint, 4096, false), 0u + 4096 + 4096 + 8192);
  EXPECT_EQ(BytesNeeded(footprint, 4096, true), 16384u + 12288);
  EXPECT_EQ(BytesNeeded(footprint, 512, false), 0u + 512 + 4096 + 4608);
}

TEST(FolderCheckParts, FootprintReadsSizesAndTheLongestPathFromThePackage) {
  std::string package;
  ASSERT_EQ(BuildPackageBytes({{"\\", "vxlite.exe", 0, "", std::string(5000, 'x')},
                               {"\\Projects\\Compiled", "demo.jar", 0, "", "jar"}},
                              "VXID_00001_0000000001", package)
                .Code,
            kBuildOk);
  const InstallFootprint footprint = FootprintOfPackage(package);
  EXPECT_EQ(footprint.itemBytes, (std::vector<uint64_t>{5000, 3}));
  EXPECT_EQ(footprint.packageBytes, package.size());
  EXPECT_EQ(footprint.longestItemPath, std::string("\\Projects\\Compiled\\demo.jar").size());
  EXPECT_TRUE(FootprintOfPackage("not a package").itemBytes.empty());
}

TEST(FolderCheckParts, DriveRootIsTheTextBeforeTheFirstBackslash) {
  EXPECT_EQ(DriveRootOf("D:\\Apps\\VantorexLite"), "D:\\");
  EXPECT_EQ(DriveRootOf("C:\\"), "C:\\");
  EXPECT_EQ(DriveRootOf("E:\\\\VantorexLite"), "E:\\");
  EXPECT_EQ(DriveRootOf("VantorexLite"), "VantorexLite\\");
}

TEST(FolderCheckParts, ErrorTextPutsFolderComplaintAndReasonOnThreeLines) {
  EXPECT_EQ(FolderErrorText("VantorexLite", "\"VantorexLite\" is invalid path."),
            "Install folder \"VantorexLite\r\" has no valid drive or it is not valid path\r"
            "\"VantorexLite\" is invalid path.");
}

// Who may change an existing folder, read from its rights. Wine keeps no
// rights of its own on folders, so the rules are shown on descriptors made
// here, the setup's own among them.
TEST(FolderCheckParts, RightsThatLetStandardUsersChangeAFolder) {
  const struct {
    const char* name;
    const char* rights;  // SDDL
    bool usersCanChange;
  } rows[] = {
      {"what the setup gives a folder it makes", kProgramFilesRights, false},
      {"administrators only", kAdministratorsOnlyRights, false},
      {"users read and execute", "D:P(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},
      {"the user's own account is not a group of all users",
       "D:(A;OICI;FA;;;S-1-5-21-1-2-3-1000)(A;OICI;FA;;;SY)", false},
      {"a denial only", "D:(D;OICI;FA;;;BU)(A;OICI;FA;;;BA)", false},
      {"authenticated users modify what is made inside",
       "D:(A;OICI;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)", true},
      {"users may add folders", "D:(A;OICI;FA;;;BA)(A;CI;0x4;;;BU)", true},
      {"users may delete what is inside", "D:(A;OICI;FA;;;BA)(A;;0x40;;;BU)", true},
      {"everyone full control", "D:(A;;FA;;;WD)", true},
      {"interactive users may change the rights", "D:(A;;0x40000;;;IU)", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(row.rights, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    LocalMem owned(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    EXPECT_EQ(AclLetsUsersChange(dacl), row.usersCanChange);
  }
  // No DACL at all: anybody may do anything.
  EXPECT_TRUE(AclLetsUsersChange(nullptr));
}

// ---------------------------------------------------------------- real folders and drives

class RealFolderCheck : public ::testing::Test {
 protected:
  test::ScratchFolder scratch_;
};

TEST_F(RealFolderCheck, ExistingEmptyFolderPassesAndIsRemovedAgain) {
  const std::string folder = scratch_ / "Empty";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::string reason;
  EXPECT_TRUE(CheckInstallFolder("  " + folder + "  ", reason)) << reason;
  EXPECT_FALSE(FolderExists(folder));  // the install creates it again
}

TEST_F(RealFolderCheck, ExistingFolderWithContentPassesAndStays) {
  const std::string folder = scratch_ / "Full";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(test::WriteFileBytes(folder + "\\keep.txt", "kept"));
  std::string reason;
  EXPECT_TRUE(CheckInstallFolder(folder, reason)) << reason;
  std::string content;
  EXPECT_TRUE(test::ReadFileBytes(folder + "\\keep.txt", content));
  EXPECT_EQ(content, "kept");
}

TEST_F(RealFolderCheck, NewNestedFolderLeavesTheLevelsAboveTheLast) {
  const std::string folder = scratch_ / "A\\B\\C";
  std::string reason;
  EXPECT_TRUE(CheckInstallFolder(folder, reason)) << reason;
  EXPECT_TRUE(FolderExists(scratch_ / "A\\B"));
  EXPECT_FALSE(FolderExists(folder));
}

TEST_F(RealFolderCheck, InstallLargerThanTheFreeSpaceIsRefusedAndNothingIsMade) {
  const std::string folder = scratch_ / "Big\\VantorexLite";
  InstallFootprint footprint;
  footprint.itemBytes = {1ULL << 62};  // no drive has that much free
  footprint.longestItemPath = 11;
  std::string reason;
  EXPECT_FALSE(CheckInstallFolder(folder, reason, footprint));
  EXPECT_EQ(reason.rfind("Not enough free disk space on drive \"C:\\\". Available space=", 0), 0u)
      << reason;
  EXPECT_FALSE(FolderExists(scratch_ / "Big"));
  footprint.itemBytes = {1000};
  EXPECT_TRUE(CheckInstallFolder(folder, reason, footprint)) << reason;
}

TEST_F(RealFolderCheck, FolderTooLongForTheItemsIsRefusedAndNothingIsMade) {
  const std::string folder = scratch_ / std::string(90, 'L') + "\\" + std::string(90, 'M');
  InstallFootprint footprint;
  footprint.itemBytes = {10};
  footprint.longestItemPath = 260 - folder.size();  // the folder alone would fit
  std::string reason;
  EXPECT_FALSE(CheckInstallFolder(folder, reason, footprint));
  EXPECT_EQ(reason.rfind("The folder name is too long", 0), 0u) << reason;
  EXPECT_FALSE(FolderExists(scratch_ / std::string(90, 'L')));
}

TEST_F(RealFolderCheck, DriveRootPasses) {
  std::string reason;
  EXPECT_TRUE(CheckInstallFolder("C:\\", reason)) << reason;
  EXPECT_TRUE(FolderExists("C:\\"));
}

// A link planted where the install folder goes, or above it, would take
// what the elevated setup writes to a place of the planter's choice.
TEST_F(RealFolderCheck, LinkOrFolderBelowALinkIsRefusedAndNothingIsMadeThere) {
  test::ScratchFolder elsewhere;
  ASSERT_TRUE(test::PlantLink(scratch_ / "link", elsewhere.path()));
  for (const std::string& folder : {scratch_ / "link", scratch_ / "link\\VantorexLite"}) {
    SCOPED_TRACE(folder);
    std::string reason;
    FolderCheckFacts facts;
    EXPECT_FALSE(CheckInstallFolder(folder, reason, {}, &facts));
    EXPECT_EQ(reason, text::kFolderIsLink);
  }
  EXPECT_FALSE(FolderExists(elsewhere / "VantorexLite"));
}

TEST_F(RealFolderCheck, TellsWhetherTheFolderWasThereBeforeItsTrial) {
  const std::string existing = scratch_ / "Full";
  ASSERT_TRUE(CreateDirectoryA(existing.c_str(), nullptr));
  ASSERT_TRUE(test::WriteFileBytes(existing + "\\keep.txt", "kept"));
  std::string reason;
  FolderCheckFacts facts;
  ASSERT_TRUE(CheckInstallFolder(existing, reason, {}, &facts)) << reason;
  EXPECT_TRUE(facts.existed);
  ASSERT_TRUE(CheckInstallFolder(scratch_ / "New\\VantorexLite", reason, {}, &facts)) << reason;
  EXPECT_FALSE(facts.existed);
}

TEST_F(RealFolderCheck, FolderBelowAFileCannotBeCreated) {
  ASSERT_TRUE(test::WriteFileBytes(scratch_ / "file", "x"));
  const std::string folder = scratch_ / "file\\VantorexLite";
  std::string reason;
  EXPECT_FALSE(CheckInstallFolder(folder, reason));
  EXPECT_EQ(reason, "Folder \"" + folder + "\" cannot be created");
}

TEST_F(RealFolderCheck, LetterWithoutDriveFailsWithoutCreatingAnything) {
  const char letter = test::FreeDriveLetter();
  ASSERT_NE(letter, 0) << "no free drive letter";
  std::string reason;
  EXPECT_FALSE(CheckInstallFolder(std::string(1, letter) + ":\\VantorexLite", reason));
  EXPECT_EQ(reason, "The root directory does not exist.");
}

TEST_F(RealFolderCheck, InvalidPathIsRefusedBeforeWindowsIsAsked) {
  std::string reason;
  EXPECT_FALSE(CheckInstallFolder("VantorexLite", reason));
  EXPECT_EQ(reason, "\"VantorexLite\" is invalid path.");
  EXPECT_FALSE(FolderExists("VantorexLite"));  // nothing made in the current folder
}

struct DriveCase {
  const char* name;
  UINT type;
  bool passes;
  const char* reason;
};

void PrintTo(const DriveCase& row, std::ostream* out) { *out << row.name; }

class RealDriveCheck : public ::testing::TestWithParam<DriveCase> {
 protected:
  test::ScratchFolder scratch_;
};

// Drive letters of the Wine prefix with the drive type asked for, mapped to a
// scratch folder: the type is what Windows itself reports for the root.
TEST_P(RealDriveCheck, UsesTheTypeWindowsReportsForTheDrive) {
  if (!test::RunningUnderWine()) GTEST_SKIP() << "drive letters are defined through Wine";
  const DriveCase& row = GetParam();
  test::WineDrive drive(scratch_.path(), row.type);
  ASSERT_TRUE(drive.ok()) << "could not define a drive letter";
  ASSERT_EQ(GetDriveTypeA(drive.Root().c_str()), row.type);
  const std::string folder = drive.Root() + "VantorexLite";
  std::string reason;
  EXPECT_EQ(CheckInstallFolder(folder, reason), row.passes) << reason;
  if (!row.passes) {
    EXPECT_EQ(reason, row.reason);
  }
  EXPECT_FALSE(FolderExists(scratch_ / "VantorexLite"));  // made and removed, or never made
}

INSTANTIATE_TEST_SUITE_P(
    WineDrives, RealDriveCheck,
    ::testing::Values(DriveCase{"Cdrom", DRIVE_CDROM, false, "The drive is a CD-ROM drive."},
                      DriveCase{"Removable", DRIVE_REMOVABLE, true, ""},
                      DriveCase{"Ramdisk", DRIVE_RAMDISK, true, ""},
                      DriveCase{"Fixed", DRIVE_FIXED, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vx
