// JDK and toolkit records over real folders: validation and device listing.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/handles.h"
#include "common/product.h"
#include "fixtures.h"
#include "java_fixtures.h"
#include "javatools/device_entry.h"
#include "javatools/javatools.h"

namespace vx {
namespace {

using test::kAllToolkitFiles;
using test::kCldcLibrary;
using test::kEmulator;
using test::kMidpLibrary;
using test::kPreverifier;

class ToolRecords : public ::testing::Test {
 protected:
  test::ScratchFolder scratch_;
};

enum class JdkHome { kWithCompiler, kWithoutCompiler, kCompilerIsFolder, kMissing, kEmpty };

struct JdkCase {
  const char* version;
  JdkHome home;
  int32_t status;
};

TEST_F(ToolRecords, JdkValidation) {
  const JdkCase cases[] = {
      {"1.6.0_20", JdkHome::kWithCompiler, 0},
      {"1.4.2", JdkHome::kWithCompiler, 0},
      {"11.0.2", JdkHome::kWithCompiler, 0},
      {"1.6", JdkHome::kWithoutCompiler, -12},  // a runtime-only installation
      {"1.6", JdkHome::kCompilerIsFolder, -12},
      {"1.6", JdkHome::kMissing, -12},
      {"1.6", JdkHome::kEmpty, -12},
      {"1.3.1_20", JdkHome::kWithCompiler, -1414},
      {"1.3.1_20", JdkHome::kWithoutCompiler, -1414},  // no file test after a version failure
      {"9", JdkHome::kWithoutCompiler, -3},
      {"x.5", JdkHome::kWithCompiler, -4},
      {"0.9", JdkHome::kWithCompiler, -5},
      {"1.x", JdkHome::kWithCompiler, -6},
  };
  int index = 0;
  for (const JdkCase& c : cases) {
    const std::string name = "jdk" + std::to_string(index++);
    std::string home;
    switch (c.home) {
      case JdkHome::kWithCompiler:
        home = test::MakeJdkFolder(scratch_.path(), name, true);
        break;
      case JdkHome::kWithoutCompiler:
        home = test::MakeJdkFolder(scratch_.path(), name, false);
        break;
      case JdkHome::kCompilerIsFolder:
        home = test::MakeJdkFolder(scratch_.path(), name, false);
        ASSERT_TRUE(test::MakeFolder(home + kJdkCompilerFile));
        break;
      case JdkHome::kMissing:
        home = scratch_ / name;
        break;
      case JdkHome::kEmpty:
        break;
    }
    TSunJDK jdk(c.version, home);
    EXPECT_EQ(jdk.Status, c.status) << c.version << " in " << home;
    EXPECT_EQ(jdk.Validate(), c.status == 0) << c.version;
    EXPECT_EQ(jdk.Status, c.status) << "validating again changes nothing";
  }
}

TEST_F(ToolRecords, TextsAreStoredTrimmed) {
  std::string home = test::MakeJdkFolder(scratch_.path(), "jdk", true);
  TSunJDK jdk(" 1.6.0_20\t", "\r\n " + home + "  ");
  EXPECT_EQ(jdk.Version, "1.6.0_20");
  EXPECT_EQ(jdk.Home, home);
  EXPECT_EQ(jdk.Status, 0);
  std::string root = test::MakeToolkitFolder(scratch_.path(), "wtk", kAllToolkitFiles);
  TMobileWTK wtk("  2.5.2 ", " " + root + "\t");
  EXPECT_EQ(wtk.Version, "2.5.2");
  EXPECT_EQ(wtk.Root, root);
  EXPECT_EQ(wtk.Status, 0);
}

struct WtkCase {
  const char* version;
  unsigned files;
  int32_t status;
};

TEST_F(ToolRecords, ToolkitValidationTestsEveryFileAndTheLastMissingOneStands) {
  const WtkCase cases[] = {
      {"2.5.2", kAllToolkitFiles, 0},
      {"3.0", kAllToolkitFiles, 0},
      {"2.5", kAllToolkitFiles & ~kPreverifier, -12},
      {"2.5", kAllToolkitFiles & ~kEmulator, -13},
      {"2.5", kAllToolkitFiles & ~kCldcLibrary, -14},
      {"2.5", kAllToolkitFiles & ~kMidpLibrary, -15},
      {"2.5", kMidpLibrary, -14},                 // preverifier, emulator and CLDC missing
      {"2.5", kCldcLibrary | kMidpLibrary, -13},  // preverifier and emulator missing
      {"2.5", 0, -15},
      {"2", kAllToolkitFiles, -3},
      {"x.5", kAllToolkitFiles, -4},
      {"1.0.4", kAllToolkitFiles, -5},
      {"1.0.4", 0, -5},  // no file test after a version failure
  };
  int index = 0;
  for (const WtkCase& c : cases) {
    std::string root =
        test::MakeToolkitFolder(scratch_.path(), "wtk" + std::to_string(index++), c.files);
    TMobileWTK wtk(c.version, root);
    EXPECT_EQ(wtk.Status, c.status) << c.version << " files " << c.files;
    // A toolkit that failed has no device list at all, not an empty one.
    EXPECT_EQ(wtk.Devices.has_value(), c.status == 0) << c.version << " files " << c.files;
    EXPECT_EQ(wtk.DeviceState1, 0);
    EXPECT_EQ(wtk.DeviceState2, 0);
    EXPECT_EQ(wtk.Validate(), c.status == 0);
  }
}

TEST_F(ToolRecords, ToolkitFolderMissingOrFilesAsFolders) {
  TMobileWTK missing("2.5", scratch_ / "absent");
  EXPECT_EQ(missing.Status, -15);
  EXPECT_FALSE(missing.Devices.has_value());

  std::string root =
      test::MakeToolkitFolder(scratch_.path(), "wtk", kAllToolkitFiles & ~kMidpLibrary);
  ASSERT_TRUE(test::MakeFolder(root + kWtkMidpLibraryFile));  // a folder of that name
  TMobileWTK folderNamedLikeFile("2.5", root);
  EXPECT_EQ(folderNamedLikeFile.Status, -15);
}

// The names FindFirstFileA/FindNextFileA report in the folder, in their order.
std::vector<std::string> EnumerationOrder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry{};
  FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &entry));
  if (!search) return names;
  do {
    names.push_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  return names;
}

TEST_F(ToolRecords, DeviceProfilesAreFoldersWithTheirOwnPropertiesFile) {
  std::string root = test::MakeToolkitFolder(scratch_.path(), "wtk", kAllToolkitFiles);
  test::MakeDeviceFolder(root, "DefaultColorPhone", true);
  test::MakeDeviceFolder(root, "mediaPhone", true);  // the case is kept
  test::MakeDeviceFolder(root, "QwertyDevice", true);
  test::MakeDeviceFolder(root, "NoProperties", false);
  // Another attribute bit besides the directory bit excludes a folder. The
  // file system here keeps no read-only mark on folders, so a hidden one
  // stands for the marked folders (the attribute table below has the rest).
  std::string hidden = test::MakeDeviceFolder(root, "HiddenPhone", true);
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(GetFileAttributesA(hidden.c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  std::string odd = test::MakeDeviceFolder(root, "OddPhone", false);
  ASSERT_TRUE(test::MakeFolder(odd + "\\OddPhone.properties"));  // a folder, not a file
  const std::string devices = root + kWtkDevicesFolder;
  ASSERT_TRUE(test::WriteFileBytes(devices + "\\PlainFile", ""));
  ASSERT_TRUE(test::WriteFileBytes(devices + "\\WrongName.properties", "x"));

  TMobileWTK wtk("2.5.2", root);
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(wtk.Status, 0);
  ASSERT_TRUE(wtk.Devices.has_value());
  std::vector<std::string> expected;
  for (const std::string& name : EnumerationOrder(devices)) {
    if (name == "DefaultColorPhone" || name == "mediaPhone" || name == "QwertyDevice") {
      expected.push_back(name);
    }
  }
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(*wtk.Devices, expected);
}

struct DeviceEntry {
  DWORD attributes;
  DWORD sizeLow;
  const char* name;
  bool candidate;
};

TEST(DeviceEntries, OnlyPlainFoldersAreCandidates) {
  const DeviceEntry cases[] = {
      {FILE_ATTRIBUTE_DIRECTORY, 0, "Phone1", true},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, 0, "ReadOnly", false},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE, 0, "Archived", false},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_COMPRESSED, 0, "Compressed", false},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, 0, "NotIndexed", false},
      {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, 0, "Hidden", false},
      {FILE_ATTRIBUTE_DIRECTORY, 4096, "Sized", false},
      {FILE_ATTRIBUTE_ARCHIVE, 0, "PlainFile", false},
      {FILE_ATTRIBUTE_NORMAL, 0, "NormalFile", false},
      {FILE_ATTRIBUTE_DIRECTORY, 0, ".", false},
      {FILE_ATTRIBUTE_DIRECTORY, 0, "..", false},
      {FILE_ATTRIBUTE_DIRECTORY, 0, "...", true},
  };
  for (const DeviceEntry& c : cases) {
    EXPECT_EQ(IsDeviceFolderEntry(c.attributes, c.sizeLow, c.name), c.candidate) << c.name;
  }
}

TEST_F(ToolRecords, UsableToolkitWithoutDevicesFolderHasAnEmptyList) {
  std::string root = test::MakeToolkitFolder(scratch_.path(), "wtk", kAllToolkitFiles);
  TMobileWTK wtk("2.5", root);
  ASSERT_EQ(wtk.Status, 0);
  ASSERT_TRUE(wtk.Devices.has_value());
  EXPECT_TRUE(wtk.Devices->empty());
}

TEST_F(ToolRecords, ListDevicesLeavesTheListAloneWithoutADevicesFolder) {
  std::string root = test::MakeToolkitFolder(scratch_.path(), "wtk", 0);
  TMobileWTK::ListDevices(root, nullptr);  // no list: nothing to do

  std::vector<std::string> devices{"Earlier"};
  TMobileWTK::ListDevices(scratch_ / "absent", &devices);
  EXPECT_EQ(devices, std::vector<std::string>{"Earlier"});
  TMobileWTK::ListDevices(root, &devices);  // toolkit folder without wtklib\devices
  EXPECT_EQ(devices, std::vector<std::string>{"Earlier"});

  test::MakeDeviceFolder(root, "Phone1", true);
  TMobileWTK::ListDevices(root, &devices);  // the list is emptied before it is filled
  EXPECT_EQ(devices, std::vector<std::string>{"Phone1"});
}

TEST_F(ToolRecords, RefreshDevicesRebuildsTheListAndResetsTheStates) {
  std::string root = test::MakeToolkitFolder(scratch_.path(), "wtk", kAllToolkitFiles);
  test::MakeDeviceFolder(root, "Phone1", true);
  TMobileWTK wtk("2.5", root);
  ASSERT_EQ(wtk.Devices, std::vector<std::string>{"Phone1"});
  test::MakeDeviceFolder(root, "Phone2", true);
  wtk.DeviceState1 = 5;
  wtk.DeviceState2 = 7;
  wtk.RefreshDevices();
  ASSERT_TRUE(wtk.Devices.has_value());
  std::vector<std::string> sorted = *wtk.Devices;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"Phone1", "Phone2"}));
  EXPECT_EQ(wtk.DeviceState1, 0);
  EXPECT_EQ(wtk.DeviceState2, 0);

  TMobileWTK failed("2.5", scratch_ / "absent");
  failed.DeviceState1 = 3;
  failed.RefreshDevices();
  EXPECT_FALSE(failed.Devices.has_value());
  EXPECT_EQ(failed.DeviceState1, 3) << "nothing happens without a device list";
}

}  // namespace
}  // namespace vx
