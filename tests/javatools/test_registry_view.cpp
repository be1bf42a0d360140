// The scans read the 32-bit registry view, as the shipped 32-bit setup does
// on 64-bit Windows. This needs the real HKEY_LOCAL_MACHINE of the test
// prefix (a redirected root has no views), so the program runs alone and
// removes every key it created.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "common/product.h"
#include "fixtures.h"
#include "java_fixtures.h"
#include "javatools/javatools.h"

namespace vx {
namespace {

// Keys created here, deleted again in reverse order of creation.
class CreatedKeys {
 public:
  ~CreatedKeys() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, it->first.c_str(), it->second, 0);
    }
  }
  // Creates each level of path in the given view; returns the deepest key.
  LONG Create(const std::string& path, REGSAM view, RegKey& key) {
    size_t from = 0;
    for (;;) {
      size_t slash = path.find('\\', from);
      std::string level = path.substr(0, slash);
      DWORD disposition = 0;
      LONG rc =
          RegCreateKeyExA(HKEY_LOCAL_MACHINE, level.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS | view, nullptr, key.put(), &disposition);
      if (rc != ERROR_SUCCESS) return rc;
      if (disposition == REG_CREATED_NEW_KEY) created_.emplace_back(level, view);
      if (slash == std::string::npos) return ERROR_SUCCESS;
      from = slash + 1;
    }
  }

 private:
  std::vector<std::pair<std::string, REGSAM>> created_;
};

TEST(ToolScanView, ScansReadTheThirtyTwoBitView) {
  test::ScratchFolder scratch;
  const std::string home = test::MakeJdkFolder(scratch.path(), "jdk", true);
  const std::string tag = "1.6.0_view" + std::to_string(GetCurrentProcessId());
  const std::string name32 = tag + "_32";
  const std::string name64 = tag + "_64";
  CreatedKeys keys;
  for (const auto& [name, view] :
       {std::pair{name32, KEY_WOW64_32KEY}, std::pair{name64, KEY_WOW64_64KEY}}) {
    RegKey key;
    ASSERT_EQ(keys.Create(std::string(kJdkRegistryKey) + "\\" + name, view, key), ERROR_SUCCESS);
    const std::string data = test::Sz(home);
    ASSERT_EQ(
        RegSetValueExA(key.get(), kJdkHomeValue, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
  }
  JdkList jdks;
  EXPECT_EQ(ScanJDKs(jdks), kScanComplete);
  auto found = [&](const std::string& name) {
    return std::any_of(jdks.begin(), jdks.end(),
                       [&](const auto& jdk) { return jdk->Version == name; });
  };
  EXPECT_TRUE(found(name32));
  EXPECT_FALSE(found(name64));
}

}  // namespace
}  // namespace vx
