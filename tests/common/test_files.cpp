#include <gtest/gtest.h>

#include <algorithm>

#include "common/files.h"
#include "common/handles.h"
#include "common/system.h"
#include "fixtures.h"

namespace vx {
namespace {

using test::PlantLink;
using test::ScratchFolder;
using test::WriteFileBytes;

TEST(FileSizeOf, MeasuresFileHeldOpenForWriting) {
  ScratchFolder scratch;
  std::string path = scratch / "held.bin";
  ASSERT_TRUE(WriteFileBytes(path, std::string(12345, 'x')));
  FileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  std::optional<int32_t> size = FileSizeOf(path);
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(*size, 12345);
}

TEST(FileSizeOf, EmptyFileAndMissingFile) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteFileBytes(scratch / "empty", ""));
  EXPECT_EQ(FileSizeOf(scratch / "empty"), std::optional<int32_t>(0));
  EXPECT_FALSE(FileSizeOf(scratch / "missing").has_value());
  EXPECT_FALSE(FileSizeOf(scratch.path()).has_value());  // a folder is not a file
}

TEST(FolderPath, ABareDriveGetsItsRootBackslash) {
  const struct {
    const char* folder;
    const char* path;
  } cases[] = {
      {"C:", "C:\\"},  {"z:", "z:\\"},   {"C:\\", "C:\\"}, {"C:\\A", "C:\\A"},
      {"1:", "1:"},    {"CC", "CC"},     {"", ""},         {"\\\\s\\x", "\\\\s\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderPath(c.folder), c.path) << c.folder;
}

TEST(FolderExists, FileAndFolder) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteFileBytes(scratch / "file.txt", "x"));
  EXPECT_TRUE(FolderExists(scratch.path()));
  EXPECT_TRUE(FolderExists(scratch.path() + "\\"));
  EXPECT_FALSE(FolderExists(scratch / "file.txt"));
  EXPECT_FALSE(FolderExists(scratch / "nothing"));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_TRUE(FileExists(scratch / "file.txt"));
  EXPECT_FALSE(FileExists(scratch.path()));
}

TEST(CreateFolderPath, DeepExistingShortAndEmpty) {
  ScratchFolder scratch;
  std::string deep = scratch / "a\\b\\c\\d";
  EXPECT_EQ(CreateFolderPath(deep), std::optional<bool>(true));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_EQ(CreateFolderPath(deep + "\\"), std::optional<bool>(true));  // exists already
  EXPECT_EQ(CreateFolderPath("Q:"), std::optional<bool>(true));         // under 3 characters
  EXPECT_EQ(CreateFolderPath("Q:\\"), std::optional<bool>(true));       // ditto after the "\"
  EXPECT_FALSE(CreateFolderPath("").has_value());                       // failure to the caller
}

TEST(CreateFolderPath, BlockedByAFileFails) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteFileBytes(scratch / "plain", "x"));
  EXPECT_EQ(CreateFolderPath(scratch / "plain\\below"), std::optional<bool>(false));
  EXPECT_FALSE(FolderExists(scratch / "plain\\below"));
}

TEST(CreateHeldFolderPath, MakesEachMissingLevelHeldAndNeverEntersOneMadeMeanwhile) {
  ScratchFolder scratch;
  const std::string top = scratch / "Tools";
  const std::string folder = top + "\\VX";
  std::vector<FileHandle> holds;
  std::vector<std::string> made;
  ASSERT_TRUE(CreateHeldFolderPath(folder, kProgramFilesRights, holds, &made));
  EXPECT_EQ(made, (std::vector<std::string>{top, folder}));
  EXPECT_EQ(holds.size(), 2u);
  // Held: another program can neither rename nor remove a level meanwhile.
  EXPECT_FALSE(MoveFileA(folder.c_str(), (scratch / "moved").c_str()));
  EXPECT_FALSE(MoveFileA(top.c_str(), (scratch / "moved").c_str()));
  EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
  holds.clear();
  EXPECT_TRUE(MoveFileA(folder.c_str(), (scratch / "moved").c_str()));

  // Existing already: nothing made, nothing held.
  made.clear();
  ASSERT_TRUE(CreateHeldFolderPath(top, kProgramFilesRights, holds, &made));
  EXPECT_TRUE(made.empty());
  EXPECT_TRUE(holds.empty());

  // A file in the way.
  ASSERT_TRUE(WriteFileBytes(scratch / "file", "x"));
  EXPECT_FALSE(CreateHeldFolderPath(scratch / "file\\sub", kProgramFilesRights, holds, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));

  // A level somebody makes between the look and the making is not entered.
  ASSERT_TRUE(CreateDirectoryA((scratch / "theirs").c_str(), nullptr));
  HANDLE held = CreateHeldFolder(scratch / "theirs", kProgramFilesRights);
  EXPECT_EQ(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(PathCrossesLink, TheLinkItselfAndEverythingBelowIt) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  ASSERT_TRUE(CreateDirectoryA((scratch / "real").c_str(), nullptr));
  ASSERT_TRUE(PlantLink(scratch / "link", elsewhere.path()));
  EXPECT_FALSE(PathCrossesLink(scratch / "real"));
  EXPECT_FALSE(PathCrossesLink(scratch / "real\\missing\\deeper"));
  EXPECT_TRUE(PathCrossesLink(scratch / "link"));
  EXPECT_TRUE(PathCrossesLink(scratch / "link\\"));
  EXPECT_TRUE(PathCrossesLink(scratch / "link\\missing\\deeper"));
  EXPECT_FALSE(PathCrossesLink("C:\\"));
}

// What the elevated programs delete inside a folder a user may have
// touched: never through a link, never outside, and only what was meant.
TEST(DeleteInsideFolder, DeletesByHandleOnlyWhatLiesInsideWithoutFollowingALink) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const std::string folder = scratch / "VantorexLite";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(elsewhere / "Amber.vxskin", "the user's own"));
  ASSERT_TRUE(PlantLink(folder + "\\Skins", elsewhere.path()));
  ASSERT_TRUE(WriteFileBytes(scratch / "beside.txt", "beside"));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\full").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + "\\full\\kept.txt", "kept"));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\empty").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + "\\plain.txt", "plain"));
  ASSERT_TRUE(WriteFileBytes(folder + "\\locked.txt", "read-only"));
  ASSERT_TRUE(SetFileAttributesA((folder + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\folder.txt").c_str(), nullptr));

  const struct {
    const char* path;  // below the scratch folder
    DeleteKind kind;
    DeleteOutcome outcome;
    bool remains;
  } cases[] = {
      {"VantorexLite\\plain.txt", DeleteKind::File, DeleteOutcome::Deleted, false},
      {"VantorexLite\\locked.txt", DeleteKind::File, DeleteOutcome::Deleted, false},
      {"VantorexLite\\missing.txt", DeleteKind::File, DeleteOutcome::Gone, false},
      {"VantorexLite\\empty", DeleteKind::Folder, DeleteOutcome::Deleted, false},
      {"VantorexLite\\full", DeleteKind::Folder, DeleteOutcome::NotEmpty, true},
      {"VantorexLite\\folder.txt", DeleteKind::File, DeleteOutcome::Failed, true},
      {"VantorexLite\\Skins\\Amber.vxskin", DeleteKind::File, DeleteOutcome::Link, true},
      {"VantorexLite\\Skins", DeleteKind::Folder, DeleteOutcome::Link, true},
      {"VantorexLite\\..\\beside.txt", DeleteKind::File, DeleteOutcome::Outside, true},
      {"beside.txt", DeleteKind::File, DeleteOutcome::Outside, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = scratch / c.path;
    EXPECT_EQ(DeleteInsideFolder(folder, path, c.kind).outcome, c.outcome);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, c.remains);
  }
  EXPECT_TRUE(FileExists(elsewhere / "Amber.vxskin"));
  EXPECT_TRUE(FileExists(folder + "\\full\\kept.txt"));
}

// A run of deletions looks at the folder once: a folder swapped for a link
// after that is still not deleted through, and what it held still goes.
TEST(DeleteInsideFolder, AFolderFoundOnceAndSwappedForALinkIsNotDeletedThrough) {
  ScratchFolder scratch;
  ScratchFolder elsewhere;
  const std::string folder = scratch / "VantorexLite";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + "\\plain.txt", "plain"));
  ASSERT_TRUE(WriteFileBytes(elsewhere / "second.txt", "the user's own"));
  const DeletionFolder found = FindDeletionFolder(folder);
  ASSERT_FALSE(found.real.empty());
  EXPECT_EQ(DeleteInsideFolder(found, folder + "\\plain.txt", DeleteKind::File).outcome,
            DeleteOutcome::Deleted);

  ASSERT_TRUE(MoveFileA(folder.c_str(), (scratch / "moved").c_str()));
  ASSERT_TRUE(PlantLink(folder, elsewhere.path()));
  EXPECT_EQ(DeleteInsideFolder(found, folder + "\\second.txt", DeleteKind::File).outcome,
            DeleteOutcome::Link);
  EXPECT_TRUE(FileExists(elsewhere / "second.txt"));
}

TEST(GetSpecialFolder, TheFoldersTheSetupUses) {
  for (int csidl : {0, 2, 23, 25, 26, 35, 38}) {
    std::string folder = GetSpecialFolder(csidl);
    EXPECT_FALSE(folder.empty()) << "CSIDL " << csidl;
    EXPECT_TRUE(FolderExists(folder)) << "CSIDL " << csidl << ": " << folder;
    EXPECT_NE(folder.back(), '\\') << "CSIDL " << csidl;
  }
  // A 32-bit program on 64-bit Windows is given the 32-bit program folder.
  EXPECT_EQ(GetSpecialFolder(38),
            sizeof(void*) == 4 ? "C:\\Program Files (x86)" : "C:\\Program Files");
  EXPECT_EQ(GetSpecialFolder(0x7f), "");  // no such folder
}

TEST(OwnFileVersion, ReadsThisProgramsVersionResource) {
  // The test program carries its own version block (test_common.rc).
  EXPECT_EQ(OwnFileVersion(), "3.14.15.92");
}

TEST(ModuleFileVersion, ReadsTheBlockOfAModuleLoadedAsData) {
  char self[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  ModuleHandle copy(LoadLibraryExA(self, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(copy);
  EXPECT_EQ(ModuleFileVersion(copy.get()), "3.14.15.92");
  // A system DLL's own block: four numbers.
  ModuleHandle kernel(LoadLibraryExA("kernel32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(kernel);
  const std::string version = ModuleFileVersion(kernel.get());
  EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
}

}  // namespace
}  // namespace vx
