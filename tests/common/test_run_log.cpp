// The run log: where it goes, what a line looks like, two threads writing at
// once, and a log that cannot be made.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/files.h"
#include "common/run_log.h"
#include "fixtures.h"

namespace vx {
namespace {

std::vector<std::string> LinesOf(const std::string& path) {
  std::string text;
  std::vector<std::string> lines;
  EXPECT_TRUE(test::ReadFileBytes(path, text)) << path;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without its end";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The setup's run log, started in a scratch temporary folder.
class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartRunLog("VantorexLite Setup");
    path_ = RunLogPath();
    ASSERT_FALSE(path_.empty());
  }
  void TearDown() override { StopRunLog(); }

  test::ScratchFolder scratch_;
  test::TempFolderOverride temp_{scratch_.path()};
  std::string path_;
};

TEST_F(RunLogTest, OneFilePerRunInAFolderOfItsOwnWithTimedLinesFromEveryThread) {
  const test::ScratchFolder& scratch = scratch_;
  const std::string& path = path_;
  // "<temp>\VantorexLite Setup yyyymmdd-hhmmss\VantorexLite Setup yyyymmdd-hhmmss.log"
  const std::string folder = path.substr(0, path.rfind('\\'));
  const std::string name = folder.substr(folder.rfind('\\') + 1);
  EXPECT_EQ(folder.substr(0, folder.rfind('\\')), scratch.path());
  EXPECT_EQ(path.substr(path.rfind('\\') + 1), name + ".log");
  ASSERT_EQ(name.size(), std::string("VantorexLite Setup 20261210-141503").size()) << name;
  EXPECT_EQ(name.rfind("VantorexLite Setup ", 0), 0u);

  constexpr int kLinesEach = 200;
  auto writer = [](char who) {
    for (int i = 0; i < kLinesEach; ++i) LogLine("%c line %d", who, i);
  };
  std::thread other(writer, 'b');
  writer('a');
  other.join();
  LogFailure("opening a key", "HKEY_CURRENT_USER\\Software\\X", ERROR_ACCESS_DENIED);
  const std::string longText(2000, 'x');
  LogLine("%s", longText.c_str());
  // A second start while open keeps the same log.
  StartRunLog("VantorexLite Setup");
  EXPECT_EQ(RunLogPath(), path);
  StopRunLog();
  LogLine("after the end");
  EXPECT_EQ(RunLogPath(), "");

  const std::vector<std::string> lines = LinesOf(path);
  ASSERT_EQ(lines.size(), 2u * kLinesEach + 2);
  int a = 0, b = 0;
  for (size_t i = 0; i < 2u * kLinesEach; ++i) {
    // "hh:mm:ss.mmm [thread] text", every line whole.
    const std::string& line = lines[i];
    ASSERT_GT(line.size(), 16u) << line;
    EXPECT_EQ(line[2], ':');
    EXPECT_EQ(line[8], '.');
    EXPECT_EQ(line[13], '[');
    const std::string text = line.substr(line.find("] ") + 2);
    if (text == "a line " + std::to_string(a)) ++a;
    else if (text == "b line " + std::to_string(b)) ++b;
    else ADD_FAILURE() << "out of order or torn: " << line;
  }
  EXPECT_EQ(a, kLinesEach);
  EXPECT_EQ(b, kLinesEach);
  EXPECT_NE(lines[2 * kLinesEach].find(
                "failed: opening a key: HKEY_CURRENT_USER\\Software\\X (error 5)"),
            std::string::npos);
  EXPECT_LT(lines.back().size(), 1024u);  // cut, not lost
}

// Held while the log is open: no other program can rename the folder and put
// one of its own (or a link) under the name the run reports.
TEST_F(RunLogTest, ItsFolderCannotBeRenamedWhileTheLogIsOpen) {
  const std::string folder = path_.substr(0, path_.rfind('\\'));
  EXPECT_FALSE(MoveFileA(folder.c_str(), (scratch_ / "moved").c_str()));
  StopRunLog();
  EXPECT_TRUE(MoveFileA(folder.c_str(), (scratch_ / "moved").c_str()));
}

// Whoever reads the log later learns where a failure was seen, and what an
// exception said, not a Windows error number that belongs to something else.
TEST_F(RunLogTest, FailuresCarryTheirPlaceAndCaughtExceptionsTheirText) {
  const int failureLine = __LINE__ + 1;
  LogFailure("opening a key", "Software\\X", ERROR_ACCESS_DENIED);
  const int caughtLine = __LINE__ + 4;
  try {
    throw std::length_error("too long a list");
  } catch (...) {
    LogCaught("keeping the records", "JDK");
  }
  try {
    throw 42;
  } catch (...) {
    LogCaught("listing the devices");
  }
  StopRunLog();
  const std::vector<std::string> lines = LinesOf(path_);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("failed: opening a key: Software\\X (error 5) at test_run_log.cpp:" +
                          std::to_string(failureLine)),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("failed: keeping the records: JDK (too long a list) at "
                          "test_run_log.cpp:" + std::to_string(caughtLine)),
            std::string::npos)
      << lines[1];
  EXPECT_NE(lines[2].find("failed: listing the devices (an exception of an unknown kind) at "),
            std::string::npos)
      << lines[2];
}

TEST(RunLog, AFolderOfThatNameMadeAheadIsNeverWrittenInto) {
  test::ScratchFolder scratch;
  test::TempFolderOverride temp(scratch.path());
  // Someone made the name of this second in advance.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  const std::string taken = scratch / (std::string("VantorexLite Setup ") + stamp);
  ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
  StartRunLog("VantorexLite Setup");
  LogLine("written");
  const std::string path = RunLogPath();
  StopRunLog();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.rfind(taken + "\\", 0), 0u) << path;
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA((taken + "\\*.log").c_str(), &entry);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST(RunLog, WithoutAUsableFolderEveryCallDoesNothing) {
  test::ScratchFolder scratch;
  test::TempFolderOverride temp(scratch / "missing\\below");
  StartRunLog("VantorexLite Setup");
  EXPECT_EQ(RunLogPath(), "");
  LogLine("nowhere to go %d", 1);
  LogFailure("anything", "anywhere", 2);
  StopRunLog();
}

}  // namespace
}  // namespace vx
