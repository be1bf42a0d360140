// The package the setup carries: built from the sample product it has the
// shipped package's shape; in the Windows builds it is the setup's "VXPACK"
// resource, byte for byte, next to the licence text "VXEULA".
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "package/package.h"
#include "package_test_util.h"

#ifdef _WIN32
#include <windows.h>

#include "common/handles.h"
#include "common/product.h"
#endif

namespace vx {
namespace {

// Paths the build gives; on Windows they are seen through drive Z:.
std::string BuildPath(const char* unixPath) {
#ifdef _WIN32
  std::string path = std::string("Z:") + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
#else
  return unixPath;
#endif
}

void ExpectShippedShape(const std::string& packagePath) {
  std::vector<std::string> lines;
  ASSERT_EQ(ReadItemList(packagePath, &lines), kReadListOk);
  ASSERT_EQ(lines.size(), 189u);

  std::vector<std::string> folders;          // in order of first appearance
  std::map<std::string, std::vector<std::string>> names;
  int64_t nextOffset = kPackHeaderSize;
  int64_t total = 0;
  int32_t largest = 0;
  int32_t oldest = INT32_MAX;
  int32_t newest = 0;
  for (const std::string& line : lines) {
    TPackItem item("xxx", "xxx");
    ASSERT_TRUE(RecordText(line)) << line;
    item.ParseLine(*RecordText(line));
    ASSERT_EQ(item.Status, kItemValid) << line;
    EXPECT_EQ(item.Offset, nextOffset) << line;  // back to back
    EXPECT_GT(item.Size, 0) << line;
    nextOffset += item.Size;
    total += item.Size;
    largest = std::max(largest, item.Size);
    oldest = std::min(oldest, item.FileDate);
    newest = std::max(newest, item.FileDate);
    if (folders.empty() || folders.back() != item.Folder) {
      EXPECT_EQ(std::count(folders.begin(), folders.end(), item.Folder), 0)
          << item.Folder << " is split";
      folders.push_back(item.Folder);
    }
    names[item.Folder].push_back(item.FileName);
  }
  EXPECT_EQ(total, 17328533);
  EXPECT_EQ(largest, 3372544);
  EXPECT_EQ(ReadItemListOffset(packagePath), std::optional<int32_t>(99 + 17328533));
  EXPECT_GE(oldest, *PackDosDateTime({1998, 1, 1, 0, 0, 0}));
  EXPECT_GE(newest, *PackDosDateTime({2009, 5, 3, 0, 0, 0}));
  EXPECT_LT(newest, *PackDosDateTime({2009, 5, 4, 0, 0, 0}));

  ASSERT_EQ(folders.size(), 14u);
  const std::vector<std::string> first{"\\",         "\\Skins",         "\\Schemas",
                                       "\\Projects", "\\SampleContent", "\\SampleContent\\PNGs"};
  EXPECT_EQ(std::vector<std::string>(folders.begin(), folders.begin() + 6), first);
  const std::vector<size_t> counts{8, 31, 30, 8, 28, 68};
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(names[first[i]].size(), counts[i]) << first[i];
  for (size_t i = 6; i < folders.size(); ++i) {
    const std::string& folder = folders[i];
    EXPECT_EQ(folder.rfind("\\Projects\\Compiled\\", 0), 0u) << folder;
    const std::string project = folder.substr(folder.rfind('\\') + 1);
    EXPECT_EQ(names[folder], (std::vector<std::string>{project + ".jar", project + ".jad"}));
  }
  const std::vector<std::string>& root = names["\\"];
  for (const char* program : {"vxlite.exe", "vxlancelite.exe", "UninstallVXLite.exe"}) {
    EXPECT_NE(std::find(root.begin(), root.end(), program), root.end()) << program;
  }
  EXPECT_EQ(lines[0], "\\, LPng.dll, 99, 187392, 617693891|");
  std::ifstream in(packagePath, std::ios::binary);
  std::string head(27, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  EXPECT_EQ(head, "VantorexPackage:VXID_39936_");
}

#if VX_SAMPLE_PAYLOAD
TEST(SetupPackage, SampleProductHasTheShippedShape) {
  ExpectShippedShape(BuildPath(VX_SETUP_PACKAGE_PATH));
}
#endif

#if defined(_WIN32) && defined(VX_SETUP_EXE_PATH)
TEST(SetupPackage, IsEmbeddedWithTheLicenceText) {
  ModuleHandle setup(LoadLibraryExA(BuildPath(VX_SETUP_EXE_PATH).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(setup) << "error " << GetLastError();
  ResourceBytes package = FindResourceBytes(setup.get(), kPackageResourceName, RT_RCDATA);
  ASSERT_NE(package.data, nullptr);
  const std::string built = test::ReadBytes(BuildPath(VX_SETUP_PACKAGE_PATH));
  ASSERT_EQ(package.size, built.size());
  EXPECT_TRUE(std::equal(built.begin(), built.end(), package.data));

  ResourceBytes eula = FindResourceBytes(setup.get(), kEulaResourceName, RT_RCDATA);
  ASSERT_NE(eula.data, nullptr);
  const std::string text(eula.data, eula.size);
  EXPECT_NE(text.find("Kestrova srl"), std::string::npos);
  EXPECT_NE(text.find("Vantorex\x99 LITE"), std::string::npos);  // Windows-1252
  // Every line ends with CR LF: as many CR as LF, each CR followed by LF.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n'));
  size_t pairs = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    ++pairs;
  }
  EXPECT_EQ(pairs, static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
  EXPECT_TRUE(text.ends_with("\r\n"));

#if VX_SAMPLE_PAYLOAD
  // The setup's reader on the resource as the worker will write it out.
  test::TempFolder folder;
  const std::string copy = folder.File("vxpack.pck");
  test::WriteBytes(copy, std::string(package.data, package.size));
  ExpectShippedShape(copy);
#endif
}
#endif

}  // namespace
}  // namespace vx
