// The vxpack commands: build from a folder with dates, list, check.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "package/package.h"
#include "package_test_util.h"
#include "vxpack_commands.h"

namespace vx::pack {
namespace {

using test::ReadBytes;
using test::SetLocalWriteTime;
using test::TempFolder;
using test::WriteBytes;

struct ToolRun {
  int exit;
  std::string out;
  std::string err;
};

ToolRun Vxpack(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  int exit = RunVxpack(args, out, err);
  return {exit, out.str(), err.str()};
}

// A payload with files at three levels, each with its own date.
class VxpackFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Add("readme.txt", "hello", 2009, 5, 3, 14, 20, 0);
    Add("LPng.dll", "PNGLIB", 1998, 6, 17, 8, 22, 6);
    Add("Skins/Amber.vxskin", "skin!", 2004, 2, 29, 23, 59, 58);
    Add("Projects/Compiled/quiz/quiz.jad", "MIDlet", 2007, 1, 1, 0, 0, 0);
    Add("Projects/quiz.vx5", "<vx/>", 2006, 12, 31, 12, 0, 2);
  }
  void Add(const std::string& relative, const std::string& bytes, int year, int month, int day,
           int hour, int minute, int second) {
    const std::string path = payload_.File(relative);
    WriteBytes(path, bytes);
    SetLocalWriteTime(path, year, month, day, hour, minute, second);
  }
  std::string Payload() const { return payload_.path().string(); }

  TempFolder payload_;
  TempFolder out_;
};

TEST_F(VxpackFolder, BuildThenListShowsEveryItemWithItsDate) {
  const std::string package = out_.File("p.pck");
  ToolRun build = Vxpack({"build", Payload(), package, "--id", "VXID_39936_1234567890"});
  ASSERT_EQ(build.exit, kExitOk) << build.err;

  // Own files first, then subfolders breadth first, names in byte order.
  ToolRun list = Vxpack({"list", package});
  ASSERT_EQ(list.exit, kExitOk) << list.err;
  EXPECT_EQ(list.out,
            "# list-offset\t126\n"
            "# index\tstatus\toffset\tsize\tdate\tfolder\tname\n"
            "0\t0\t99\t6\t1998-06-17 08:22:06\t\\\tLPng.dll\n"
            "1\t0\t105\t5\t2009-05-03 14:20:00\t\\\treadme.txt\n"
            "2\t0\t110\t5\t2006-12-31 12:00:02\t\\Projects\tquiz.vx5\n"
            "3\t0\t115\t5\t2004-02-29 23:59:58\t\\Skins\tAmber.vxskin\n"
            "4\t0\t120\t6\t2007-01-01 00:00:00\t\\Projects\\Compiled\\quiz\tquiz.jad\n"
            "# lines\t5\tvalid\t5\n");
  EXPECT_EQ(ReadBytes(package).substr(0, 39), "VantorexPackage:VXID_39936_1234567890\r\n");
  EXPECT_EQ(ReadBytes(package).substr(120, 6), "MIDlet");
  EXPECT_EQ(Vxpack({"check", package}).exit, kExitOk);
}

TEST_F(VxpackFolder, ManifestFixesTheOrderAndTheDefaultIdentifierTheDay) {
  const std::string manifest = out_.File("order.txt");
  WriteBytes(manifest, "Skins/Amber.vxskin\r\n\r\nProjects\\Compiled\\quiz\\quiz.jad\nLPng.dll\n");
  const std::string package = out_.File("p.pck");
  ToolRun build = Vxpack({"build", Payload(), package, "--manifest", manifest});
  ASSERT_EQ(build.exit, kExitOk) << build.err;
  std::vector<std::string> lines;
  ASSERT_EQ(ReadItemList(package, &lines), kReadListOk);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "\\Skins, Amber.vxskin, 99, 5, " +
                           std::to_string(*PackDosDateTime({2004, 2, 29, 23, 59, 58})) + "|",
                       "\\Projects\\Compiled\\quiz, quiz.jad, 104, 6, " +
                           std::to_string(*PackDosDateTime({2007, 1, 1, 0, 0, 0})) + "|",
                       "\\, LPng.dll, 110, 6, 617693891|"}));
  // Newest of the three: 1 January 2007 is day 39083.
  EXPECT_EQ(ReadBytes(package).substr(16, 11), "VXID_39083_");
}

TEST_F(VxpackFolder, RefusedBuildsLeaveNoPackage) {
  const std::string package = out_.File("p.pck");
  WriteBytes(package, "older");
  Add("Skins/bad,name.vxskin", "x", 2005, 1, 1, 1, 1, 2);
  ToolRun build = Vxpack({"build", Payload(), package});
  EXPECT_EQ(build.exit, kExitFailed);
  EXPECT_NE(build.err.find("bad,name.vxskin"), std::string::npos) << build.err;
  EXPECT_FALSE(std::filesystem::exists(package));

  const std::string manifest = out_.File("m.txt");
  WriteBytes(manifest, "LPng.dll\nno-such.dll\n");
  build = Vxpack({"build", Payload(), package, "--manifest", manifest});
  EXPECT_EQ(build.exit, kExitFailed);
  EXPECT_NE(build.err.find("no-such.dll"), std::string::npos) << build.err;
  EXPECT_FALSE(std::filesystem::exists(package));

  WriteBytes(manifest, "../outside.txt\n");
  build = Vxpack({"build", Payload(), package, "--manifest", manifest});
  EXPECT_EQ(build.exit, kExitFailed);
  EXPECT_NE(build.err.find("unsafe path"), std::string::npos) << build.err;

  EXPECT_EQ(Vxpack({"build", Payload(), package, "--id", "VXID_1_2"}).exit, kExitUsage);
  EXPECT_EQ(Vxpack({"build", out_.File("no-such-folder"), package}).exit, kExitFailed);
  EXPECT_FALSE(std::filesystem::exists(package));
}

// A package that would not install: an item past the end, an unsafe path.
TEST(VxpackCheck, ReportsWhatWouldFailAndWhatInstallsFine) {
  TempFolder folder;
  const std::string package = folder.File("bad.pck");
  std::string list =
      "\\, a.txt, 99, 4, 617693891|\r\n"       // 0 fine
      "\\, b.txt, 101, 4, 617693891|\r\n"      // 1 overlaps item 0
      "\\, c.txt, 103, 999, 617693891|\r\n"    // 2 past the end
      "\\, d.txt, 99|\r\n"                     // 3 invalid: too few fields
      "no bar here\r\n"                        // 4 ignored
      "\\..\\.., evil.dll, 99, 4, 617693891|\r\n"  // 5 unsafe
      "\\, e.txt, 107, 4, 617693891|\r\n";     // 6 into the item list
  WriteBytes(package, PackageHeader("VXID_00000_0000000000", 109) + "AAAABBBBBB" + list);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(CheckCommand(package, out, err), kExitFailed);
  EXPECT_EQ(out.str(),
            "2\terror\trange reaches outside the package\t\\\tc.txt\n"
            "3\twarning\tinvalid line is dropped\t\\\td.txt\n"
            "4\twarning\tline without \"|\" is ignored\n"
            "5\terror\tunsafe path: folder: \".\" or \"..\" segment\t\\..\\..\tevil.dll\n"
            "6\twarning\trange reaches into the item list\t\\\te.txt\n"
            "1\twarning\trange overlaps another item\n"
            "6\twarning\tgap of 2 bytes before it\n"
            "check: 4 valid items of 7 lines, 2 errors, 5 warnings: FAILED\n");
}

TEST(VxpackCheck, GapsAndOrderDoNotFailButTooFewItemsDo) {
  TempFolder folder;
  const std::string package = folder.File("gaps.pck");
  WriteBytes(package, PackageHeader("VXID_00000_0000000000", 109) + "AAAABBBBBB" +
                          "\\, b.txt, 105, 4, 0|\r\n\\, a.txt, 99, 4, 0|\r\n");
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(CheckCommand(package, out, err), kExitOk);
  EXPECT_EQ(out.str(),
            "0\twarning\tgap of 2 bytes before it\n"
            "check: 2 valid items of 2 lines, 0 errors, 1 warnings: OK\n");

  WriteBytes(package, PackageHeader("VXID_00000_0000000000", 109) + "AAAABBBBBB" +
                          "\\, a.txt, 99, 10, 0|\r\n\\, b.txt, x, 4, 0|\r\n");
  out.str("");
  EXPECT_EQ(CheckCommand(package, out, err), kExitFailed);
  EXPECT_NE(out.str().find("-\terror\tfewer than two valid items\n"), std::string::npos)
      << out.str();
}

TEST(VxpackList, UnreadableListFails) {
  TempFolder folder;
  const std::string package = folder.File("short.pck");
  WriteBytes(package, "VantorexPackage:\r\n12a\r\n");
  ToolRun list = Vxpack({"list", package});
  EXPECT_EQ(list.exit, kExitFailed);
  EXPECT_EQ(list.out, "# list-offset\t-1\n");
  EXPECT_EQ(Vxpack({"check", package}).exit, kExitFailed);
  EXPECT_EQ(Vxpack({"frobnicate"}).exit, kExitUsage);
}

}  // namespace
}  // namespace vx::pack
