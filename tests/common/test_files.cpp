#include <gtest/gtest.h>

#include <algorithm>

#include "common/files.h"
#include "common/handles.h"
#include "common/system.h"
#include "fixtures.h"

namespace vx {
namespace {

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
