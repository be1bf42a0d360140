// The installation package: layout, item records, the reader and the builder.
//
// A package is one byte stream: a 99-byte text header of three CR LF lines,
// the items' bytes back to back, and a text item list at the end. Header
// line 2 holds L, the item list's offset. Every item line reads
//   folder, file name, offset, size, date|<CR LF>
// with a packed DOS local date-time as date.
//
// Portable C++ (no Win32): built into the setup, the vxpack tool, the host
// tests and the fuzz target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// ---------------------------------------------------------------- layout
inline constexpr int32_t kPackHeaderSize = 99;         // three lines with their CR LF
inline constexpr int32_t kPackHeaderBytesRead = 98;    // what the reader looks at
inline constexpr int32_t kPackHeaderLines12Max = 92;   // line 1 + line 2, without CR LF
inline constexpr char kPackMagic[] = "VantorexPackage:";
inline constexpr char kPackIdPrefix[] = "VXID_";
inline constexpr char kItemLineEnd = '|';              // closes a record
inline constexpr char kItemFieldSeparator[] = ", ";    // what the builder writes

// ---------------------------------------------------------------- result codes
// ReadItemListOffset: L as header line 2 gives it, or one of these.
inline constexpr int32_t kListOffsetNoFile = 0;        // the package file does not exist
inline constexpr int32_t kListOffsetUnreadable = -1;   // header too short or line 2 no number

// ReadItemList.
inline constexpr int32_t kReadListOk = 0;
inline constexpr int32_t kReadListFailed = -1;         // bad L, or reading the list failed
inline constexpr int32_t kReadListNoFile = -11;        // no file, or no string list given

// TPackItem::Status.
inline constexpr int32_t kItemValid = 0;
inline constexpr int32_t kItemInvalid = -11;           // a field is missing or no number,
                                                       // or the path would leave the folder

// Builder (BuildPackageBytes, WritePackageFile).
inline constexpr int32_t kBuildOk = 0;
inline constexpr int32_t kBuildBadName = -2;           // "," or "|" or a control char in a name
inline constexpr int32_t kBuildUnsafePath = -3;        // folder or file name leaves the folder
inline constexpr int32_t kBuildBadIdentifier = -4;     // identifier with CR, LF, "|" or 0 byte
inline constexpr int32_t kBuildHeaderTooLong = -5;     // line 1 + line 2 exceed 92 characters
inline constexpr int32_t kBuildTooLarge = -6;          // package would pass 2 GiB - 1
inline constexpr int32_t kBuildUnreadable = -7;        // a source file cannot be read
inline constexpr int32_t kBuildWriteFailed = -8;       // the output cannot be written

// ---------------------------------------------------------------- item record
// One item of the package, the in-memory form of one item line.
struct TPackItem {
  // Starts with the given texts, 0 in every number and Status 0.
  TPackItem(std::string folder, std::string fileName);

  // Fills the fields from one record text (an item line with everything from
  // the first "|" on already removed): fields 1 to 5 split at ",", blanks and
  // control characters stripped around each. Status = kItemValid, or
  // kItemInvalid when a number field is missing or not a signed 32-bit
  // decimal number (fields set before the failure keep their new values), or
  // when Folder/FileName fail IsSafeItemPath.
  void ParseLine(std::string_view text);

  std::string Folder;    // "\" or "\Sub\Folder", relative to the install folder
  std::string FileName;  // bare name; the unpacking step makes it the full target path
  int32_t Size = 0;
  int32_t FileDate = 0;  // packed DOS local date-time
  int32_t Offset = 0;
  int32_t Status = kItemValid;
};

// ---------------------------------------------------------------- reader
// L, the item list's offset, from header line 2: the second CR-delimited field
// of the file's first 98 bytes. kListOffsetNoFile when the file does not
// exist, kListOffsetUnreadable when fewer than 98 bytes can be read or the
// field is not a number. Empty: the file exists but cannot be opened (the
// failure reaches the caller).
std::optional<int32_t> ReadItemListOffset(const std::string& packagePath);

// Replaces the whole content of *lines by the lines of the item list: the
// bytes from L to the end minus the last two, up to a first 0 byte, stripped
// at both ends, split at CR LF, lone CR and lone LF. kReadListOk;
// kReadListNoFile when the file does not exist or lines is null;
// kReadListFailed when L is not inside the file or reading fails (then *lines
// keeps its content). Every bound is checked before the buffer is sized.
// Empty: the file exists but cannot be opened (the failure reaches the caller).
std::optional<int32_t> ReadItemList(const std::string& packagePath,
                                    std::vector<std::string>* lines);

// The same over a package already in memory (a view of a file the caller
// holds open): no name is opened again. kReadListFailed when the header
// cannot be read or L is not inside the package.
int32_t ReadItemListFrom(std::string_view package, std::vector<std::string>* lines);

// The item list of a package held in memory (a resource), as a list; empty
// when the header or L does not fit the bytes.
std::vector<std::string> ItemListOf(std::string_view package);

// Splits a text into lines as the item list reader does: at CR LF, lone CR
// and lone LF; a final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// The text of an item line that counts: before the first "|"; empty when the
// line has no "|".
std::optional<std::string_view> RecordText(std::string_view line);

// True when folder + file name stay inside the install folder: the folder is
// empty, "\" or "\name\name..." (backslashes only, no empty, "." or ".."
// segment, no segment of dots and blanks, no drive or stream colon, no
// character Windows forbids in names, no device name such as CON or LPT1);
// the file name is one such name. Why a path fails, for reports:
// UnsafePathReason gives a short text, empty when the path is safe.
bool IsSafeItemPath(std::string_view folder, std::string_view fileName);
std::string UnsafePathReason(std::string_view folder, std::string_view fileName);

// Signed 32-bit decimal number with an optional sign; empty when the text is
// anything else (hex, blanks, overflow, empty).
std::optional<int32_t> ParseInt32(std::string_view text);

// ---------------------------------------------------------------- dates
struct DosDateTime {
  int year = 1980;  // 1980..2107
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;   // stored in 2-second steps
};

// Packed DOS (FAT) date-time: bits 31-25 year-1980, 24-21 month, 20-16 day,
// 15-11 hour, 10-5 minute, 4-0 seconds/2. Empty for a date it cannot hold.
std::optional<int32_t> PackDosDateTime(const DosDateTime& value);
// The fields of a packed value; empty when month, day or time are out of range.
std::optional<DosDateTime> UnpackDosDateTime(int32_t packed);
// Days from 30 December 1899 to the given date (3 May 2009 gives 39936).
int32_t DayCountSince1899(int year, int month, int day);

// ---------------------------------------------------------------- builder
// One item to pack. Its bytes come from SourcePath when that is set,
// otherwise from Content.
struct PackEntry {
  std::string Folder;      // "\" or "\Sub\Folder"
  std::string FileName;
  int32_t FileDate = 0;    // packed DOS local date-time
  std::string SourcePath;
  std::string Content;
};

// Header of exactly kPackHeaderSize bytes for an identifier and L; empty when
// line 1 and line 2 together would pass kPackHeaderLines12Max characters.
std::string PackageHeader(std::string_view identifier, int32_t listOffset);

// One item line with its "|" and CR LF: folder, ", ", name, ", ", offset, ...
std::string FormatItemLine(std::string_view folder, std::string_view fileName, int32_t offset,
                           int32_t size, int32_t fileDate);

// "VXID_" + the five-digit day count of the newest entry date + "_" + a
// ten-digit number derived from the items' names, sizes and dates (the same
// entries always give the same identifier). Sizes of SourcePath entries are
// taken from the files; an unreadable one counts as 0 here.
std::string DefaultPackageIdentifier(const std::vector<PackEntry>& entries);

// What a build reports besides its code.
struct BuildReport {
  int32_t Code = kBuildOk;
  std::string Message;        // why it failed, naming the entry or file
  int32_t ListOffset = 0;     // L of the built package
  int64_t PackageSize = 0;
};

// Lays the entries out in the given order (first offset 99, each next the
// previous offset + size) and returns the whole package in out. Refuses names
// with "," "|" or control characters, unsafe paths, a bad identifier, a header
// that does not fit and packages of 2 GiB or more; out is left empty then.
BuildReport BuildPackageBytes(const std::vector<PackEntry>& entries, std::string_view identifier,
                              std::string& out);

// As BuildPackageBytes, streamed to a file: written to "<outPath>.partial"
// and renamed over outPath when complete. A failed build leaves no file at
// outPath (an older one is removed too, so nothing stale stays behind).
BuildReport WritePackageFile(const std::vector<PackEntry>& entries, std::string_view identifier,
                             const std::string& outPath);

}  // namespace vx
