// Registry scans over crafted registrations (redirected HKEY_LOCAL_MACHINE)
// and real tool folders, and the picks made from them.
#include <gtest/gtest.h>

#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "fixtures.h"
#include "java_fixtures.h"
#include "javatools/javatools.h"

namespace vx {
namespace {

using test::kAllToolkitFiles;
using test::kMidpLibrary;

class ToolScans : public test::RegistryAndFilesTest {
 protected:
  std::string Jdk(const std::string& name, bool withCompiler = true) {
    return test::MakeJdkFolder(scratch_.path(), name, withCompiler);
  }
  std::string Toolkit(const std::string& name, unsigned files = kAllToolkitFiles) {
    return test::MakeToolkitFolder(scratch_.path(), name, files);
  }
};

template <class List>
std::vector<std::string> VersionsOf(const List& list) {
  std::vector<std::string> versions;
  for (const auto& record : list) versions.push_back(record->Version);
  return versions;
}

TEST_F(ToolScans, NoBaseKeyLeavesTheListUnchanged) {
  JdkList jdks;
  jdks.push_back(std::make_unique<TSunJDK>("1.6", "C:\\earlier"));
  EXPECT_EQ(ScanJDKs(jdks), kScanNoBaseKey);
  EXPECT_EQ(VersionsOf(jdks), std::vector<std::string>{"1.6"});
  WtkList wtks;
  EXPECT_EQ(ScanJ2METoolkits(wtks), kScanNoBaseKey);
  EXPECT_EQ(ScanSunJavaToolkits(wtks), kScanNoBaseKey);
  EXPECT_TRUE(wtks.empty());
}

TEST_F(ToolScans, EmptyBaseKeyIsACompleteScan) {
  ASSERT_TRUE(WriteRegistryString(kJdkRegistryKey, "CurrentVersion", "1.6"));  // not read
  JdkList jdks;
  EXPECT_EQ(ScanJDKs(jdks), kScanComplete);
  EXPECT_TRUE(jdks.empty());
}

TEST_F(ToolScans, JdksAreAppendedInEnumerationOrderEachWithItsStatus) {
  ASSERT_EQ(test::RegisterJdk("1.6", Jdk("jdk16")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.5.0_22", Jdk("jdk15022", false)), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.5", Jdk("jdk15")), ERROR_SUCCESS);
  JdkList jdks;
  jdks.push_back(std::make_unique<TSunJDK>("1.4", "C:\\earlier"));
  EXPECT_EQ(ScanJDKs(jdks), kScanComplete);

  std::vector<std::string> expected{"1.4"};
  for (const std::string& name : test::EnumeratedSubkeys(kJdkRegistryKey)) {
    expected.push_back(name);
  }
  ASSERT_EQ(expected.size(), 4u);
  EXPECT_EQ(VersionsOf(jdks), expected);
  for (size_t i = 1; i < jdks.size(); ++i) {
    const TSunJDK& jdk = *jdks[i];
    if (jdk.Version == "1.5.0_22") {
      EXPECT_EQ(jdk.Home, scratch_ / "jdk15022");
      EXPECT_EQ(jdk.Status, kJdkNoCompiler);
    } else {
      EXPECT_EQ(jdk.Home, jdk.Version == "1.6" ? scratch_ / "jdk16" : scratch_ / "jdk15");
      EXPECT_EQ(jdk.Status, 0);
    }
  }
}

TEST_F(ToolScans, SubkeysWithoutAnExistingFolderAreSkipped) {
  const std::string file = scratch_ / "plain.txt";
  ASSERT_TRUE(test::WriteFileBytes(file, "x"));
  const std::string good = Jdk("good");
  ASSERT_TRUE(SetEnvironmentVariableA("VX_JDK_HOME", good.c_str()));
  struct Registration {
    const char* version;
    const char* valueName;
    DWORD type;
    std::string data;
  };
  const Registration registrations[] = {
      {"1.50", "Other", REG_SZ, test::Sz(good)},        // no "JavaHome"
      {"1.51", kJdkHomeValue, REG_SZ, test::Sz("")},    // empty text
      {"1.52", kJdkHomeValue, REG_DWORD, ""},           // size 0, whatever the type
      {"1.53", kJdkHomeValue, REG_SZ, test::Sz(file)},  // not a folder
      {"1.54", kJdkHomeValue, REG_SZ, test::Sz(scratch_ / "absent")},
      {"1.55", kJdkHomeValue, REG_EXPAND_SZ, test::Sz("%VX_JDK_HOME%")},  // not expanded
      {"1.56", kJdkHomeValue, REG_EXPAND_SZ, test::Sz(good)},
      {"1.57", kJdkHomeValue, REG_SZ, good + std::string("\0junk\0", 6)},  // up to the NUL
      {"1.58", kJdkHomeValue, REG_SZ, good},                               // stored without its NUL
  };
  for (const Registration& r : registrations) {
    ASSERT_EQ(test::RegisterTool(kJdkRegistryKey, r.version, r.valueName, r.type, r.data),
              ERROR_SUCCESS)
        << r.version;
  }
  JdkList jdks;
  EXPECT_EQ(ScanJDKs(jdks), kScanComplete);
  SetEnvironmentVariableA("VX_JDK_HOME", nullptr);
  EXPECT_EQ(VersionsOf(jdks), (std::vector<std::string>{"1.56", "1.57", "1.58"}));
  for (const auto& jdk : jdks) {
    EXPECT_EQ(jdk->Home, good) << jdk->Version;
  }
}

TEST_F(ToolScans, NonStringFolderValueStopsTheScanKeepingEarlierRecords) {
  ASSERT_EQ(test::RegisterJdk("1.5", Jdk("jdk15")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterTool(kJdkRegistryKey, "1.6", kJdkHomeValue, REG_DWORD,
                               std::string("\x01\0\0\0", 4)),
            ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.7", Jdk("jdk17")), ERROR_SUCCESS);
  ASSERT_EQ(test::EnumeratedSubkeys(kJdkRegistryKey),
            (std::vector<std::string>{"1.5", "1.6", "1.7"}));
  JdkList jdks;
  EXPECT_EQ(ScanJDKs(jdks), kScanInterrupted);
  EXPECT_EQ(VersionsOf(jdks), std::vector<std::string>{"1.5"});

  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "2.5", Toolkit("wtk25")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterTool(kSunJavaToolkitKey, "2.6", kWtkFolderValue, REG_BINARY,
                               test::Sz(Toolkit("wtk26"))),
            ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "2.7", Toolkit("wtk27")), ERROR_SUCCESS);
  WtkList wtks;
  EXPECT_EQ(ScanSunJavaToolkits(wtks), kScanInterrupted);
  EXPECT_EQ(VersionsOf(wtks), std::vector<std::string>{"2.5"});
}

TEST_F(ToolScans, SubkeyNameWithBlanksIsOpenedAsRegistered) {
  ASSERT_EQ(test::RegisterJdk(" 1.6.0_20 ", Jdk("jdk")), ERROR_SUCCESS);
  ASSERT_EQ(test::EnumeratedSubkeys(kJdkRegistryKey), std::vector<std::string>{" 1.6.0_20 "});
  JdkList jdks;
  EXPECT_EQ(ScanJDKs(jdks), kScanComplete);
  ASSERT_EQ(jdks.size(), 1u);
  EXPECT_EQ(jdks[0]->Version, "1.6.0_20");
  EXPECT_EQ(jdks[0]->Home, scratch_ / "jdk");
  EXPECT_EQ(jdks[0]->Status, 0);
}

TEST_F(ToolScans, SameToolkitUnderBothKeysGivesTwoRecords) {
  const std::string root = Toolkit("wtk252");
  test::MakeDeviceFolder(root, "Phone1", true);
  ASSERT_EQ(test::RegisterToolkit(kJ2meToolkitKey, "2.5.2", root), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "2.5.2", root), ERROR_SUCCESS);
  WtkList wtks;
  EXPECT_EQ(ScanJ2METoolkits(wtks), kScanComplete);
  EXPECT_EQ(ScanSunJavaToolkits(wtks), kScanComplete);
  ASSERT_EQ(wtks.size(), 2u);
  for (const auto& wtk : wtks) {
    EXPECT_EQ(wtk->Version, "2.5.2");
    EXPECT_EQ(wtk->Root, root);
    EXPECT_EQ(wtk->Status, 0);
    EXPECT_EQ(wtk->Devices, std::vector<std::string>{"Phone1"});
  }
}

// ---------------------------------------------------------------- the picks

TEST_F(ToolScans, FirstQualifyingJdkInScanOrderIsPicked) {
  ASSERT_EQ(test::RegisterJdk("1.4.2", Jdk("jdk142")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.5.0_22", Jdk("jdk15022")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.6.0_20", Jdk("jdk16020")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.10", Jdk("jdk110")), ERROR_SUCCESS);
  ASSERT_EQ(test::EnumeratedSubkeys(kJdkRegistryKey),
            (std::vector<std::string>{"1.10", "1.4.2", "1.5.0_22", "1.6.0_20"}));
  JdkList list;
  list.push_back(std::make_unique<TSunJDK>("1.6", "C:\\stale"));
  TSunJDK* first = list.front().get();
  BuildJDKList(list, first);
  EXPECT_EQ(VersionsOf(list), (std::vector<std::string>{"1.5.0_22", "1.6.0_20"}));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, list.front().get());
  EXPECT_EQ(first->Home, scratch_ / "jdk15022");
}

TEST_F(ToolScans, JdkWithoutCompilerStillQualifies) {
  ASSERT_EQ(test::RegisterJdk("1.6", Jdk("jre16", false)), ERROR_SUCCESS);
  JdkList list;
  TSunJDK* first = nullptr;
  BuildJDKList(list, first);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Version, "1.6");
  EXPECT_EQ(first->Status, kJdkNoCompiler);
}

TEST_F(ToolScans, WithoutQualifyingToolsListsAreEmptyAndNothingIsPicked) {
  TSunJDK staleJdk("1.6", "");
  TMobileWTK staleWtk("2.5", "");
  auto expectNoPicks = [&](const char* when) {
    JdkList jdks;
    WtkList wtks;
    jdks.push_back(std::make_unique<TSunJDK>("1.6", "C:\\stale"));
    TSunJDK* firstJdk = &staleJdk;
    TMobileWTK* firstWtk = &staleWtk;
    BuildJDKList(jdks, firstJdk);
    BuildWTKList(wtks, firstWtk);
    EXPECT_TRUE(jdks.empty()) << when;
    EXPECT_TRUE(wtks.empty()) << when;
    EXPECT_EQ(firstJdk, nullptr) << when;
    EXPECT_EQ(firstWtk, nullptr) << when;
  };
  expectNoPicks("nothing registered");
  // Validation accepts 1.4.2, the product does not.
  ASSERT_EQ(test::RegisterJdk("1.4.2", Jdk("jdk142")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.3.1", Jdk("jdk131")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kJ2meToolkitKey, "2.2", Toolkit("wtk22")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "10.0", Toolkit("wtk100")), ERROR_SUCCESS);
  expectNoPicks("only versions below the minimums");
}

TEST_F(ToolScans, TheRunLogSaysWhyEachRegisteredJdkWasPassedOver) {
  ASSERT_EQ(test::RegisterJdk("1.4.2", Jdk("jdk142")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.7", scratch_ / "removed-jdk"), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterJdk("1.6", Jdk("jdk16")), ERROR_SUCCESS);
  test::ScratchFolder logFolder;
  std::string logText;
  {
    test::TempFolderOverride here(logFolder.path());
    StartRunLog("VantorexLite Setup");
    JdkList jdks;
    TSunJDK* first = nullptr;
    BuildJDKList(jdks, first);
    const std::string path = RunLogPath();
    StopRunLog();
    ASSERT_TRUE(test::ReadFileBytes(path, logText));
  }
  const std::string key = std::string(kJdkRegistryKey) + "\\";
  for (const std::string& expected :
       {std::string("JDK \"1.4.2\" passed over: version too old or not a version"),
        key + "1.7: passed over, its folder \"" + (scratch_ / "removed-jdk") + "\" does not exist",
        "JDK picked: 1.6 in \"" + (scratch_ / "jdk16") + "\""}) {
    EXPECT_NE(logText.find(expected), std::string::npos) << expected << " not in:\n" << logText;
  }
}

TEST_F(ToolScans, ToolkitsUnderTheOlderKeyComeFirst) {
  // Incomplete toolkits qualify too: Status is not consulted.
  const std::string incomplete = Toolkit("wtk25", kAllToolkitFiles & ~kMidpLibrary);
  ASSERT_EQ(test::RegisterToolkit(kJ2meToolkitKey, "2.5", incomplete), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kJ2meToolkitKey, "2.2", Toolkit("wtk22")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "2.5.2", Toolkit("wtk252")), ERROR_SUCCESS);
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "10.0", Toolkit("wtk100")), ERROR_SUCCESS);
  WtkList list;
  TMobileWTK* first = nullptr;
  BuildWTKList(list, first);
  EXPECT_EQ(VersionsOf(list), (std::vector<std::string>{"2.5", "2.5.2"}));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, list.front().get());
  EXPECT_EQ(first->Root, scratch_ / "wtk25");
  EXPECT_EQ(first->Status, kWtkNoMidpLibrary);
  EXPECT_FALSE(first->Devices.has_value());
}

TEST_F(ToolScans, ToolkitBelowTheAdvertisedVersionStillQualifies) {
  ASSERT_EQ(test::RegisterToolkit(kSunJavaToolkitKey, "2.5.1", Toolkit("wtk251")), ERROR_SUCCESS);
  WtkList list;
  TMobileWTK* first = nullptr;
  BuildWTKList(list, first);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Version, "2.5.1");
  EXPECT_EQ(first->Status, 0);
}

}  // namespace
}  // namespace vx
