// The package reader, item records, path safety, dates and the builder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package.h"
#include "package_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vx {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// A header as the builder writes it, for any line 1 and line 2.
std::string Header(const std::string& line1, const std::string& line2) {
  std::string header = line1 + "\r\n" + line2 + "\r\n-";
  header.append(92 - line1.size() - line2.size(), 'x');
  return header + "\r\n";
}

constexpr char kLine1[] = "VantorexPackage:VXID_39936_0000000001";
const std::string kPayload = "AAAABBBBBB";  // two items: 4 and 6 bytes
const std::string kLineA = "\\, a.txt, 99, 4, 617693891|";
const std::string kLineB = "\\Sub, b.txt, 103, 6, 617693891|";

// Header for L = 109 (after kPayload), payload and the given list bytes.
std::string Package(const std::string& list, const std::string& line1 = kLine1) {
  return Header(line1, "109") + kPayload + list;
}

struct ReaderCase {
  const char* name;
  std::string bytes;
  int32_t listOffset;
  int32_t readResult;
  std::vector<std::string> lines;  // when readResult is 0
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class ReaderTable : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTable, LocatesAndSplitsTheItemList) {
  const ReaderCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.File("case.pck");
  WriteBytes(path, c.bytes);

  EXPECT_EQ(ReadItemListOffset(path), std::optional<int32_t>(c.listOffset));
  std::vector<std::string> lines{"previous content"};
  EXPECT_EQ(ReadItemList(path, &lines), std::optional<int32_t>(c.readResult));
  if (c.readResult == kReadListOk) {
    EXPECT_EQ(lines, c.lines);
  } else {
    EXPECT_EQ(lines, std::vector<std::string>{"previous content"});
  }

  // The setup reads the list from its own view of the package: same result.
  std::vector<std::string> fromMemory{"previous content"};
  EXPECT_EQ(ReadItemListFrom(c.bytes, &fromMemory), c.readResult);
  EXPECT_EQ(fromMemory, lines);
}

const std::string kTwoLines = kLineA + "\r\n" + kLineB + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Package, ReaderTable,
    ::testing::Values(
        ReaderCase{"Plain", Package(kTwoLines), 109, kReadListOk, {kLineA, kLineB}},
        ReaderCase{"OtherMagicInLine1", Package(kTwoLines, "SomethingElse:whatever 123"), 109,
                   kReadListOk, {kLineA, kLineB}},
        // The last two bytes are never read: without its CR LF the last line
        // loses "1|".
        ReaderCase{"MissingFinalLineEnd", Package(kLineA + "\r\n" + kLineB), 109, kReadListOk,
                   {kLineA, "\\Sub, b.txt, 103, 6, 61769389"}},
        ReaderCase{"ZeroByteEndsTheList",
                   Package(kLineA + "\r\n\\Sub, b" + std::string(1, '\0') + ".txt, 103|\r\n"),
                   109, kReadListOk, {kLineA, "\\Sub, b"}},
        ReaderCase{"LoneCrAndLoneLfSplit", Package("a|\rb|\nc|\r\n\r\nd|\r\n"), 109,
                   kReadListOk, {"a|", "b|", "c|", "", "d|"}},
        ReaderCase{"BlanksAroundTheListStripped", Package(" \r\n\t" + kLineA + " \r\n \r\n"),
                   109, kReadListOk, {kLineA}},
        ReaderCase{"EmptyList", Package("\r\n"), 109, kReadListOk, {}},
        ReaderCase{"HeaderShorterThan98Bytes", "VantorexPackage:X\r\n20\r\n-xx\r\n", -1,
                   kReadListFailed, {}},
        ReaderCase{"Line2NotANumber", Header(kLine1, "12a") + kPayload + kTwoLines, -1,
                   kReadListFailed, {}},
        ReaderCase{"Line2Overflow", Header(kLine1, "99999999999") + kPayload + kTwoLines, -1,
                   kReadListFailed, {}},
        ReaderCase{"NegativeOffset", Header(kLine1, "-5") + kPayload + kTwoLines, -5,
                   kReadListFailed, {}},
        // A tiny file announcing a list of gigabytes: refused before any
        // buffer is sized (the sanitizer build would report the allocation).
        ReaderCase{"HugeNegativeOffset", Header(kLine1, "-2147483648") + kTwoLines, INT32_MIN,
                   kReadListFailed, {}},
        ReaderCase{"OffsetBeyondTheFile", Header(kLine1, "2147483647") + kTwoLines, INT32_MAX,
                   kReadListFailed, {}},
        ReaderCase{"OffsetOneBeforeTheEnd", Header(kLine1, "100") + "x\r", 100, kReadListFailed,
                   {}}),
    [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

TEST(PackageReader, MissingFileFolderOrListGiveTheirCodes) {
  TempFolder folder;
  std::vector<std::string> lines{"kept"};
  EXPECT_EQ(ReadItemListOffset(folder.File("none.pck")), kListOffsetNoFile);
  EXPECT_EQ(ReadItemList(folder.File("none.pck"), &lines), kReadListNoFile);
  // A folder is not a package file.
  EXPECT_EQ(ReadItemListOffset(folder.path().string()), kListOffsetNoFile);
  EXPECT_EQ(ReadItemList(folder.path().string(), &lines), kReadListNoFile);
  EXPECT_EQ(lines, std::vector<std::string>{"kept"});

  const std::string path = folder.File("p.pck");
  WriteBytes(path, Package(kTwoLines));
  EXPECT_EQ(ReadItemList(path, nullptr), kReadListNoFile);
}

#ifdef _WIN32
// A file that exists but cannot be opened is a failure that reaches the caller.
TEST(PackageReader, FileThatCannotBeOpenedReachesTheCaller) {
  TempFolder folder;
  const std::string path = folder.File("locked.pck");
  WriteBytes(path, Package(kTwoLines));
  HANDLE locked = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  std::vector<std::string> lines{"kept"};
  EXPECT_EQ(ReadItemListOffset(path), std::nullopt);
  EXPECT_EQ(ReadItemList(path, &lines), std::nullopt);
  EXPECT_EQ(lines, std::vector<std::string>{"kept"});
  CloseHandle(locked);
}
#endif

// ---------------------------------------------------------------- ParseLine
struct ParseCase {
  const char* name;
  std::string text;
  int32_t status;
  std::string folder;
  std::string fileName;
  int32_t offset;
  int32_t size;
  int32_t date;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, FillsTheRecord) {
  const ParseCase& c = GetParam();
  TPackItem item("xxx", "xxx");
  item.ParseLine(c.text);
  EXPECT_EQ(item.Status, c.status);
  EXPECT_EQ(item.Folder, c.folder);
  EXPECT_EQ(item.FileName, c.fileName);
  EXPECT_EQ(item.Offset, c.offset);
  EXPECT_EQ(item.Size, c.size);
  EXPECT_EQ(item.FileDate, c.date);
}

INSTANTIATE_TEST_SUITE_P(
    Package, ParseTable,
    ::testing::Values(
        ParseCase{"WrittenForm", "\\, LPng.dll, 99, 187392, 617693891", 0, "\\", "LPng.dll", 99,
                  187392, 617693891},
        ParseCase{"BlankBeforeCommaNoneAfter", "\\,LPng.dll ,99,187392,617693891", 0, "\\",
                  "LPng.dll", 99, 187392, 617693891},
        ParseCase{"ControlCharactersAroundFields", " \t\\ ,\tLPng.dll\t, 99 ,187392\r, 617693891 ",
                  0, "\\", "LPng.dll", 99, 187392, 617693891},
        ParseCase{"SixFieldsReadFromTheFirstFive", "\\Skins, a.vxskin, 1, 2, 3, extra", 0,
                  "\\Skins", "a.vxskin", 1, 2, 3},
        ParseCase{"FourFieldsInvalidEarlierFieldsKept", "\\, a, 1, 2", kItemInvalid, "\\", "a", 1,
                  2, 0},
        ParseCase{"OffsetNotANumber", "\\, a, 12a, 2, 3", kItemInvalid, "\\", "a", 0, 0, 0},
        ParseCase{"SizeNotANumber", "\\, a, 1, $10, 3", kItemInvalid, "\\", "a", 1, 0, 0},
        ParseCase{"DateOverflows", "\\, a, 1, 2, 2147483648", kItemInvalid, "\\", "a", 1, 2, 0},
        ParseCase{"LimitsAndSigns", "\\, a, +7, 2147483647, -2147483648", 0, "\\", "a", 7,
                  INT32_MAX, INT32_MIN},
        ParseCase{"EmptyFolderAccepted", ", a.txt, 1, 2, 3", 0, "", "a.txt", 1, 2, 3},
        ParseCase{"ZeroAndNegativeDatesAccepted", "\\, a, 1, 2, -5", 0, "\\", "a", 1, 2, -5},
        ParseCase{"InnerBlankInNumber", "\\, a, 1 2, 2, 3", kItemInvalid, "\\", "a", 0, 0, 0},
        ParseCase{"EmptyText", "", kItemInvalid, "", "", 0, 0, 0},
        // Paths that would leave the install folder: parsed, but no valid record.
        ParseCase{"UnsafeFolder", "\\..\\.., evil.dll, 99, 4, 5", kItemInvalid, "\\..\\..",
                  "evil.dll", 99, 4, 5},
        ParseCase{"UnsafeFileName", "\\, ..\\evil.dll, 99, 4, 5", kItemInvalid, "\\",
                  "..\\evil.dll", 99, 4, 5}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(PackageRecord, StartsWithItsTextsAndZeros) {
  TPackItem item("xxx", "yyy");
  EXPECT_EQ(item.Folder, "xxx");
  EXPECT_EQ(item.FileName, "yyy");
  EXPECT_EQ(item.Size, 0);
  EXPECT_EQ(item.FileDate, 0);
  EXPECT_EQ(item.Offset, 0);
  EXPECT_EQ(item.Status, kItemValid);
}

TEST(PackageRecord, OnlyTheTextBeforeTheFirstBarCounts) {
  EXPECT_EQ(RecordText("\\, a, 1, 2, 3|\\, b, 4, 5, 6|"), std::optional<std::string_view>("\\, a, 1, 2, 3"));
  EXPECT_EQ(RecordText("\\, a, 1, 2, 3"), std::nullopt);
  EXPECT_EQ(RecordText("|"), std::optional<std::string_view>(""));
}

// ---------------------------------------------------------------- path safety
struct PathCase {
  const char* folder;
  const char* fileName;
  bool safe;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  std::string shown = std::string(c.folder) + " + " + c.fileName;
  for (char& ch : shown) {
    if (static_cast<unsigned char>(ch) < 0x20) ch = '?';
  }
  *os << shown;
}

class PathTable : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTable, KeepsItemsInsideTheInstallFolder) {
  const PathCase& c = GetParam();
  EXPECT_EQ(IsSafeItemPath(c.folder, c.fileName), c.safe)
      << "folder \"" << c.folder << "\" name \"" << c.fileName << "\": "
      << UnsafePathReason(c.folder, c.fileName);
  EXPECT_EQ(UnsafePathReason(c.folder, c.fileName).empty(), c.safe);
}

INSTANTIATE_TEST_SUITE_P(
    Package, PathTable,
    ::testing::Values(PathCase{"", "a.txt", true}, PathCase{"\\", "a.txt", true},
                      PathCase{"\\Skins", "Amber.vxskin", true},
                      PathCase{"\\Projects\\Compiled\\bookshop", "bookshop.jad", true},
                      PathCase{"\\Skins\\", "a", true}, PathCase{"\\", "COM10", true},
                      PathCase{"\\", "Console.txt", true}, PathCase{"\\a.b", ".profile", true},
                      PathCase{"\\..", "a", false}, PathCase{"\\Skins\\..\\..", "a", false},
                      PathCase{"\\.", "a", false}, PathCase{"\\. .", "a", false},
                      PathCase{"\\...", "a", false}, PathCase{"C:", "a", false},
                      PathCase{"C:\\Windows", "a", false}, PathCase{"\\C:\\x", "a", false},
                      PathCase{"\\\\server\\share", "a", false},
                      PathCase{"\\\\?\\C:\\x", "a", false}, PathCase{"/etc", "a", false},
                      PathCase{"\\a/b", "a", false}, PathCase{"Skins", "a", false},
                      PathCase{"\\a\\\\b", "a", false}, PathCase{"\\LPT1", "a", false},
                      PathCase{"\\", "..", false}, PathCase{"\\", "", false},
                      PathCase{"\\", "a\\b.txt", false}, PathCase{"\\", "a/b.txt", false},
                      PathCase{"\\", "C:evil.dll", false},
                      PathCase{"\\", "file.txt:stream", false}, PathCase{"\\", "CON", false},
                      PathCase{"\\", "nul.txt", false}, PathCase{"\\", "a?b", false},
                      PathCase{"\\", "tab\there", false}));

// ---------------------------------------------------------------- dates
TEST(PackageDates, PackAndUnpackDosDateTimes) {
  EXPECT_EQ(PackDosDateTime({1998, 6, 17, 8, 22, 6}), 617693891);
  std::optional<DosDateTime> date = UnpackDosDateTime(617693891);
  ASSERT_TRUE(date);
  EXPECT_EQ(std::vector<int>({date->year, date->month, date->day, date->hour, date->minute,
                              date->second}),
            std::vector<int>({1998, 6, 17, 8, 22, 6}));
  EXPECT_EQ(PackDosDateTime({1998, 6, 17, 8, 22, 7}), 617693891);  // 2-second steps
  EXPECT_LT(*PackDosDateTime({2100, 1, 1, 0, 0, 0}), 0);            // bit 31 set
  for (DosDateTime bad : {DosDateTime{1979, 12, 31, 0, 0, 0}, DosDateTime{2108, 1, 1, 0, 0, 0},
                          DosDateTime{2009, 2, 29, 0, 0, 0}, DosDateTime{2009, 1, 1, 24, 0, 0}}) {
    EXPECT_EQ(PackDosDateTime(bad), std::nullopt) << bad.year << "-" << bad.month;
  }
  EXPECT_EQ(UnpackDosDateTime(0), std::nullopt);
  EXPECT_EQ(UnpackDosDateTime(-5), std::nullopt);
}

TEST(PackageDates, DayCountFrom30December1899) {
  EXPECT_EQ(DayCountSince1899(2009, 5, 3), 39936);
  EXPECT_EQ(DayCountSince1899(1899, 12, 30), 0);
  EXPECT_EQ(DayCountSince1899(1900, 3, 1), 61);
}

// ---------------------------------------------------------------- builder
TEST(PackageBuilder, HeaderIsExactly99Bytes) {
  EXPECT_EQ(PackageHeader("VXID_39936_8194753819", 17328632),
            "VantorexPackage:VXID_39936_8194753819\r\n17328632\r\n-" + std::string(47, 'x') +
                "\r\n");
  const std::string longest(92 - 16 - 3, 'i');
  EXPECT_EQ(PackageHeader(longest, 123), std::string(kPackMagic) + longest + "\r\n123\r\n-\r\n");
  EXPECT_EQ(PackageHeader(longest + "i", 123), "");
  EXPECT_EQ(FormatItemLine("\\", "LPng.dll", 99, 187392, 617693891),
            "\\, LPng.dll, 99, 187392, 617693891|\r\n");
}

std::vector<PackEntry> TwoEntries() {
  return {{"\\", "a.txt", 617693891, "", "AAAA"}, {"\\Sub", "b.txt", 617693891, "", "BBBBBB"}};
}

TEST(PackageBuilder, LaysItemsOutBackToBackAndReadsBack) {
  std::string bytes;
  BuildReport report = BuildPackageBytes(TwoEntries(), "VXID_39936_0000000001", bytes);
  ASSERT_EQ(report.Code, kBuildOk) << report.Message;
  EXPECT_EQ(bytes, Package(kTwoLines));
  EXPECT_EQ(report.ListOffset, 109);
  EXPECT_EQ(report.PackageSize, static_cast<int64_t>(bytes.size()));

  TempFolder folder;
  const std::string path = folder.File("built.pck");
  report = WritePackageFile(TwoEntries(), "VXID_39936_0000000001", path);
  ASSERT_EQ(report.Code, kBuildOk) << report.Message;
  EXPECT_EQ(ReadBytes(path), bytes);
  std::vector<std::string> lines;
  ASSERT_EQ(ReadItemList(path, &lines), kReadListOk);
  ASSERT_EQ(lines.size(), 2u);
  TPackItem item("xxx", "xxx");
  item.ParseLine(*RecordText(lines[1]));
  EXPECT_EQ(item.Status, kItemValid);
  EXPECT_EQ(bytes.substr(static_cast<size_t>(item.Offset), static_cast<size_t>(item.Size)),
            "BBBBBB");
}

TEST(PackageBuilder, SourceFilesAreStreamedIntoTheFile) {
  TempFolder folder;
  const std::string source = folder.File("big.bin");
  std::string content(3 * (1 << 20) + 17, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 251);
  WriteBytes(source, content);
  std::vector<PackEntry> entries = TwoEntries();
  entries.push_back({"\\Big", "big.bin", 0, source, ""});
  const std::string path = folder.File("out.pck");
  BuildReport report = WritePackageFile(entries, "VXID_00000_0000000000", path);
  ASSERT_EQ(report.Code, kBuildOk) << report.Message;
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(109, content.size()), content);
  EXPECT_EQ(report.ListOffset, static_cast<int32_t>(109 + content.size()));
}

struct RefusalCase {
  const char* name;
  PackEntry entry;
  std::string identifier;
  int32_t code;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class BuilderRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(BuilderRefusals, RefuseWithoutOutput) {
  const RefusalCase& c = GetParam();
  std::vector<PackEntry> entries = TwoEntries();
  entries.push_back(c.entry);
  std::string bytes = "stale";
  BuildReport report = BuildPackageBytes(entries, c.identifier, bytes);
  EXPECT_EQ(report.Code, c.code);
  EXPECT_FALSE(report.Message.empty());
  EXPECT_TRUE(bytes.empty());

  // The file form leaves nothing behind, not even an older package.
  TempFolder folder;
  const std::string path = folder.File("out.pck");
  WriteBytes(path, "older package");
  EXPECT_EQ(WritePackageFile(entries, c.identifier, path).Code, c.code);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
}

const std::string kId = "VXID_39936_0000000001";
INSTANTIATE_TEST_SUITE_P(
    Package, BuilderRefusals,
    ::testing::Values(
        RefusalCase{"CommaInName", {"\\", "a,b.txt", 0, "", "x"}, kId, kBuildBadName},
        RefusalCase{"BarInFolder", {"\\a|b", "c.txt", 0, "", "x"}, kId, kBuildBadName},
        RefusalCase{"LineBreakInName", {"\\", "a\r\nb", 0, "", "x"}, kId, kBuildBadName},
        RefusalCase{"BlankAtNameEnd", {"\\", "a.txt ", 0, "", "x"}, kId, kBuildBadName},
        RefusalCase{"UnsafeFolder", {"\\..", "a.txt", 0, "", "x"}, kId, kBuildUnsafePath},
        RefusalCase{"SameNameOtherCase", {"\\SUB", "B.txt", 0, "", "x"}, kId,
                    kBuildDuplicateName},
        RefusalCase{"MissingSource", {"\\", "c.txt", 0, "no-such-file.bin", ""}, kId,
                    kBuildUnreadable},
        RefusalCase{"BarInIdentifier", {"\\", "c.txt", 0, "", "x"}, "VXID|1", kBuildBadIdentifier},
        RefusalCase{"HeaderTooLong", {"\\", "c.txt", 0, "", "x"}, std::string(74, '9'),
                    kBuildHeaderTooLong}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

#ifndef _WIN32
// A sparse 2 GiB file: the builder refuses before reading a byte of it.
TEST(PackageBuilder, RefusesAPayloadOf2GiB) {
  TempFolder folder;
  const std::string source = folder.File("huge.bin");
  WriteBytes(source, "");
  std::filesystem::resize_file(source, (uint64_t{1} << 31) - 100);
  std::vector<PackEntry> entries = TwoEntries();
  entries.push_back({"\\", "huge.bin", 0, source, ""});
  const std::string path = folder.File("out.pck");
  BuildReport report = WritePackageFile(entries, kId, path);
  EXPECT_EQ(report.Code, kBuildTooLarge);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
}
#endif

TEST(PackageBuilder, DefaultIdentifierCarriesTheNewestDayAndIsStable) {
  std::vector<PackEntry> entries = TwoEntries();
  entries[1].FileDate = *PackDosDateTime({2009, 5, 3, 14, 20, 0});
  const std::string id = DefaultPackageIdentifier(entries);
  EXPECT_EQ(id.substr(0, 11), "VXID_39936_");
  EXPECT_EQ(id.size(), 21u);
  EXPECT_EQ(DefaultPackageIdentifier(entries), id);
  entries[0].Content += "!";
  EXPECT_NE(DefaultPackageIdentifier(entries), id);
}

}  // namespace
}  // namespace vx
