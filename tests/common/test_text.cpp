#include <gtest/gtest.h>

#include "common/text.h"

namespace vx {
namespace {

struct FieldCase {
  const char* text;
  const char* delimiter;
  int32_t n;
  const char* expected;
};

TEST(ExtractField, Table) {
  const FieldCase cases[] = {
      {"a,b,c", ",", 1, "a"},
      {"a,b,c", ",", 2, "b"},
      {"a,b,c", ",", 3, "c"},
      {"a,b,c", ",", 4, ""},
      {"a,b,c", ",", 0, "a,b,c"},
      {"a,b,c", ",", -7, "a,b,c"},
      {"a,,c", ",", 2, ""},
      {"a,,c", ",", 3, "c"},
      {"abc", "", 1, "abc"},
      {"abc", "", 2, ""},
      {"x::y::z", "::", 3, "z"},
      {"x::y::z", "::", 2, "y"},
      {"x:y::z", "::", 1, "x:y"},
      {",lead", ",", 1, ""},
      {"trail,", ",", 2, ""},
      {"", ",", 1, ""},
      {"D:\\Apps\\VantorexLite", "\\", 1, "D:"},
      {"a,b", ",", 2147483647, ""},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(ExtractField(c.text, c.delimiter, c.n), c.expected)
        << "text '" << c.text << "' delimiter '" << c.delimiter << "' field " << c.n;
  }
}

TEST(ExtractCharField, ExistingBarSeparatesToo) {
  EXPECT_EQ(ExtractCharField("A|B,C", ',', 2), "B");
  EXPECT_EQ(ExtractCharField("A|B,C", ',', 3), "C");
  EXPECT_EQ(ExtractCharField("one\rtwo\rthree", '\r', 2), "two");
  EXPECT_EQ(ExtractCharField("no delimiter", '\r', 1), "no delimiter");
  EXPECT_EQ(ExtractCharField("no delimiter", '\r', 2), "");
}

TEST(RightChars, Table) {
  EXPECT_EQ(RightChars("abc", 1), "c");
  EXPECT_EQ(RightChars("abc", 0), "");
  EXPECT_EQ(RightChars("ab", 5), "ab");
  EXPECT_EQ(RightChars("ab", -1), "ab");
  EXPECT_EQ(RightChars("ab", 2), "ab");
  EXPECT_EQ(RightChars("C:\\Folder\\", 1), "\\");
  EXPECT_EQ(RightChars("", 1), "");
}

TEST(NormalizedInstallFolder, TrimmedMergedWithoutTrailingBackslashAndStableWhenRepeated) {
  const std::pair<const char*, const char*> rows[] = {
      {"  E:\\\\VantorexLite \t", "E:\\VantorexLite"},
      {"C:\\Program Files\\VantorexLite\\", "C:\\Program Files\\VantorexLite"},
      {"D:\\A\\\\\\B\\\\", "D:\\A\\B"},
      {"C:\\", "C:"},
      {"D:\\Apps", "D:\\Apps"},
  };
  for (const auto& [text, folder] : rows) {
    EXPECT_EQ(NormalizedInstallFolder(text), folder) << text;
    EXPECT_EQ(NormalizedInstallFolder(folder), folder) << text;
  }
}

TEST(MergeBackslashes, Table) {
  EXPECT_EQ(MergeBackslashes("C:\\\\\\Program Files\\\\VantorexLite"),
            "C:\\Program Files\\VantorexLite");
  EXPECT_EQ(MergeBackslashes("C:\\Plain\\Path"), "C:\\Plain\\Path");
  EXPECT_EQ(MergeBackslashes("\\\\server\\share"), "\\server\\share");
  EXPECT_EQ(MergeBackslashes("E:\\\\VantorexLite\\\\"), "E:\\VantorexLite\\");
  EXPECT_EQ(MergeBackslashes("\\\\\\\\\\"), "\\");
  EXPECT_EQ(MergeBackslashes(""), "");
}

TEST(TrimBlanks, ControlCharactersAndBlanks) {
  EXPECT_EQ(TrimBlanks(" \t\r\n x y \x01\x1f "), "x y");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("\x99"), "\x99");  // bytes above 0x7f are text, not control
}

TEST(DateToYmd, Table) {
  EXPECT_EQ(DateToYmd({2009, 5, 3}), "20090503");
  EXPECT_EQ(DateToYmd({2010, 1, 9}), "20100109");
  EXPECT_EQ(DateToYmd({2026, 12, 31}), "20261231");
  EXPECT_EQ(DateToYmd({2024, 2, 29}), "20240229");
  EXPECT_EQ(DateToYmd({999, 3, 5}), "20999" "0305");
  EXPECT_EQ(DateToYmd({2023, 2, 29}), "");
  EXPECT_EQ(DateToYmd({2009, 13, 1}), "");
  EXPECT_EQ(DateToYmd({2009, 4, 31}), "");
  EXPECT_EQ(DateToYmd({0, 1, 1}), "");
}

}  // namespace
}  // namespace vx
