// Version texts judged alone: the version tests of validation and the
// comparison against the product's minimums.
#include <gtest/gtest.h>

#include "javatools/javatools.h"

namespace vx {
namespace {

struct Comparison {
  const char* left;
  const char* right;
  int sign;
};

TEST(VersionText, ComparesUnsignedBytesAndPrefixIsSmaller) {
  const Comparison cases[] = {
      {"1.5", "1.5", 0},       {"1.5.0_22", "1.5", 1},
      {"1.5", "1.5.0_22", -1}, {"1.4.2_19", "1.5", -1},
      {"1.10", "1.5", -1},     {"9", "1.5", 1},
      {"", "1.5", -1},         {"", "", 0},
      {"\x80", "1", 1},  // not a signed char
      {"1.5\xE9", "1.5z", 1},  {"10.0", "2.5", -1},
      {"2.5", "2.5.", -1},
  };
  for (const Comparison& c : cases) {
    int result = CompareVersionText(c.left, c.right);
    int sign = (result > 0) - (result < 0);
    EXPECT_EQ(sign, c.sign) << '"' << c.left << "\" against \"" << c.right << '"';
  }
}

struct Qualification {
  const char* version;
  bool kept;
};

TEST(VersionText, JdkThresholdIsTheTextOnePointFive) {
  const Qualification cases[] = {
      {"1.4.2_19", false}, {"1.5", true}, {"1.5.0_22", true}, {"1.6", true},
      {"1.10", false},     {"9", true},   {"10", true},       {"", false},
      {"1.4.9", false},    {"1.", false}, {"2", true},
  };
  for (const Qualification& c : cases) {
    EXPECT_EQ(JdkVersionQualifies(c.version), c.kept) << '"' << c.version << '"';
  }
}

TEST(VersionText, ToolkitThresholdIsTheTextTwoPointFive) {
  const Qualification cases[] = {
      {"2.2", false}, {"2.5", true},   {"2.5.1", true}, {"2.5.2_01", true},
      {"3.0", true},  {"10.0", false}, {"2", false},    {"", false},
  };
  for (const Qualification& c : cases) {
    EXPECT_EQ(WtkVersionQualifies(c.version), c.kept) << '"' << c.version << '"';
  }
}

struct VersionStatus {
  const char* version;
  int32_t status;
};

TEST(VersionText, JdkVersionTests) {
  const VersionStatus cases[] = {
      {"1.4.2", 0},        {"1.4", 0},
      {"1.6.0_20", 0},     {"11.0.2", 0},
      {"1.3.1_20", -1414}, {"1.10", -1414},
      {"1.0", -1414},      {"9", -3},
      {"11", -3},          {"", -3},
      {".5", -4},          {"a.5", -4},
      {"1a.5", -4},        {"99999999999.1", -4},
      {"0.9", -5},         {"-1.5", -5},
      {"1.", -6},          {"1.x", -6},
      {"1..4", -6},        {"2.0", 0},
  };
  for (const VersionStatus& c : cases) {
    EXPECT_EQ(JdkVersionStatus(c.version), c.status) << '"' << c.version << '"';
  }
}

TEST(VersionText, ToolkitVersionTests) {
  const VersionStatus cases[] = {
      {"2.5.2_01", 0}, {"2.", 0},   {"3.x", 0}, {"10.0", 0},   {"2", -3},
      {"", -3},        {"x.5", -4}, {".5", -4}, {"1.0.4", -5}, {"0.5", -5},
  };
  for (const VersionStatus& c : cases) {
    EXPECT_EQ(WtkVersionStatus(c.version), c.status) << '"' << c.version << '"';
  }
}

}  // namespace
}  // namespace vx
