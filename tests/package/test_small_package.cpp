// A package made by the build's vx_make_test_package from a small folder:
// the helper other test programs use to embed packages of their own.
#include <gtest/gtest.h>

#include <algorithm>
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

// The package as the program sees it: the embedded resource on Windows, the
// built file on the host.
std::string SmallPackageBytes() {
#ifdef _WIN32
  ResourceBytes bytes = FindResourceBytes(nullptr, kPackageResourceName, RT_RCDATA);
  return bytes.data ? std::string(bytes.data, bytes.size) : std::string();
#else
  return test::ReadBytes(VX_SMALL_PACKAGE_PATH);
#endif
}

TEST(SmallTestPackage, HoldsTheFolderFilesInTheirOrder) {
  test::TempFolder folder;
  const std::string path = folder.File("small.pck");
  const std::string bytes = SmallPackageBytes();
  ASSERT_FALSE(bytes.empty());
  test::WriteBytes(path, bytes);

  std::vector<std::string> lines;
  ASSERT_EQ(ReadItemList(path, &lines), kReadListOk);
  ASSERT_EQ(lines.size(), 2u);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"\\", "readme.txt"}, {"\\Docs", "notes.txt"}};
  const std::vector<std::string> contents{"Sample readme of a small test package.\r\n",
                                          "Second item, one folder down.\r\n"};
  for (size_t i = 0; i < lines.size(); ++i) {
    TPackItem item("xxx", "xxx");
    item.ParseLine(*RecordText(lines[i]));
    EXPECT_EQ(item.Status, kItemValid);
    EXPECT_EQ(std::make_pair(item.Folder, item.FileName), expected[i]);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(item.Offset), static_cast<size_t>(item.Size)),
              contents[i]);
    EXPECT_TRUE(UnpackDosDateTime(item.FileDate)) << "file date " << item.FileDate;
  }
}

}  // namespace
}  // namespace vx
