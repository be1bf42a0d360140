#include <gtest/gtest.h>

#include "common/product.h"
#include "common/registry.h"
#include "fixtures.h"

namespace vx {
namespace {

class RegistryHelpers : public test::RegistryTest {
 protected:
  // Reads a value straight from the redirected HKLM, in the product's view.
  static LONG Read(const std::string& key, const std::string& name, DWORD& type,
                   std::string& data) {
    RegistryAccess reader(HKEY_LOCAL_MACHINE, KEY_READ);
    LONG rc = reader.OpenKeyReadOnly(key);
    if (rc != ERROR_SUCCESS) return rc;
    return reader.ReadValue(name, type, data);
  }
};

TEST_F(RegistryHelpers, WritesStringAndIntegerCreatingParents) {
  const std::string key = kSettingsKeys[kSettingsKeySystem];
  EXPECT_TRUE(WriteRegistryString(key, "OpenProject", "C:\\VantorexLite\\Projects"));
  EXPECT_TRUE(WriteRegistryInteger(key, "OpenDocIdx", -2));
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(Read(key, "OpenProject", type, data), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, std::string("C:\\VantorexLite\\Projects") + '\0');
  ASSERT_EQ(Read(key, "OpenDocIdx", type, data), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  ASSERT_EQ(data.size(), 4u);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(data.data()), -2);
}

TEST_F(RegistryHelpers, BlankNameOnlyCreatesTheKey) {
  EXPECT_TRUE(WriteRegistryString("SOFTWARE\\Kestrova\\Blank", " ", "ignored"));
  RegistryAccess reader(HKEY_LOCAL_MACHINE, KEY_READ);
  ASSERT_EQ(reader.OpenKeyReadOnly("SOFTWARE\\Kestrova\\Blank"), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(reader.ReadValue(" ", type, data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reader.ReadValue("", type, data), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryHelpers, FailuresAreFalseExceptForTheBlankName) {
  // A key path that runs into an invalid (over-long) key name cannot be created.
  const std::string tooLong = "SOFTWARE\\Kestrova\\" + std::string(300, 'k');
  EXPECT_FALSE(WriteRegistryString(tooLong, "Name", "x"));
  EXPECT_FALSE(WriteRegistryInteger(tooLong, "Name", 1));
  EXPECT_TRUE(WriteRegistryString(tooLong, "", "x"));  // only the key was asked for
  RegistryAccess reader(HKEY_LOCAL_MACHINE, KEY_READ);
  EXPECT_FALSE(reader.KeyExists(tooLong));
}

TEST_F(RegistryHelpers, AccessObjectPathsAreRelativeToTheOpenKey) {
  RegistryAccess registry(HKEY_CLASSES_ROOT);
  ASSERT_EQ(registry.OpenKey(".vx5", true), ERROR_SUCCESS);
  ASSERT_EQ(registry.OpenKey("Shell\\Open", true), ERROR_SUCCESS);  // under .vx5
  EXPECT_EQ(registry.CurrentPath(), ".vx5\\Shell\\Open");
  ASSERT_EQ(registry.WriteString("", "&Open"), ERROR_SUCCESS);
  ASSERT_EQ(registry.OpenKey("\\Applications", true), ERROR_SUCCESS);  // from the root
  registry.CloseKey();
  EXPECT_TRUE(registry.KeyExists(".vx5\\Shell\\Open"));
  EXPECT_TRUE(registry.KeyExists("Applications"));
  EXPECT_FALSE(registry.KeyExists("Shell"));
  ASSERT_EQ(registry.OpenKeyReadOnly(".vx5"), ERROR_SUCCESS);
  std::vector<std::string> names;
  ASSERT_EQ(registry.GetKeyNames(names), ERROR_SUCCESS);
  EXPECT_EQ(names, std::vector<std::string>{"Shell"});
}

TEST_F(RegistryHelpers, RedirectionKeepsTheRealHiveUntouched) {
  EXPECT_TRUE(WriteRegistryString("SOFTWARE\\Kestrova\\Probe", "v", "1"));
  // The value is in the scratch key under the real HKCU, not in the machine hive.
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegKey scratch;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER,
                          (registry_.ScratchPath() + "\\HKLM\\SOFTWARE\\Kestrova\\Probe").c_str(),
                          0, KEY_READ, scratch.put());
  EXPECT_EQ(rc, ERROR_SUCCESS);
}

TEST_F(RegistryHelpers, DeleteRegistryTreeRemovesNestedKeysAndIgnoresMissingOnes) {
  auto exists = [](HKEY root, const std::string& path) {
    return RegistryAccess(root).KeyExists(path);
  };
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE}) {
    RegKey key;
    ASSERT_EQ(CreateRegistryKey(root, "Tree\\A\\B\\C", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    ASSERT_EQ(CreateRegistryKey(root, "Tree\\A\\D", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    ASSERT_EQ(CreateRegistryKey(root, "Keep", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    key.reset();
    EXPECT_EQ(DeleteRegistryTree(root, "Tree\\A"), ERROR_SUCCESS);
    EXPECT_FALSE(exists(root, "Tree\\A"));
    EXPECT_TRUE(exists(root, "Tree"));
    EXPECT_EQ(DeleteRegistryTree(root, "Tree\\Missing"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(root, " "), ERROR_SUCCESS);  // not the root itself
    EXPECT_TRUE(exists(root, "Tree"));
    EXPECT_TRUE(exists(root, "Keep"));
  }
}

TEST(KeyIsWithin, TheKeyItselfAndWhatLiesBelowItWithoutCase) {
  EXPECT_TRUE(KeyIsWithin("Software\\Kestrova", "software\\KESTROVA"));
  EXPECT_TRUE(KeyIsWithin("Software\\Kestrova", "Software\\Kestrova\\VantorexLite"));
  EXPECT_FALSE(KeyIsWithin("Software\\Kestrova", "Software\\KestrovaOther"));
  EXPECT_FALSE(KeyIsWithin("Software\\Kestrova", "Software"));
}

}  // namespace
}  // namespace vx
