// The installation package's format: its layout, the item record and what
// makes an item path safe, the packed dates, and the header and item line as
// they are written.
//
// A package is one byte stream: a 99-byte text header of three CR LF lines,
// the items' bytes back to back, and a text item list at the end. Header
// line 2 holds L, the item list's offset. Every item line reads
//   folder, file name, offset, size, date|<CR LF>
// with a packed DOS local date-time as date.
//
// Portable C++ (no Win32), like the reader and the builder beside it: built
// into the setup, the vxpack tool, the benchmarks, the host tests and the
// fuzz target.
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

// TPackItem::Status.
inline constexpr int32_t kItemValid = 0;
inline constexpr int32_t kItemInvalid = -11;           // a field is missing or no number,
                                                       // or the path would leave the folder

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

// ---------------------------------------------------------------- writing
// Header of exactly kPackHeaderSize bytes for an identifier and L; empty when
// line 1 and line 2 together would pass kPackHeaderLines12Max characters.
std::string PackageHeader(std::string_view identifier, int32_t listOffset);

// One item line with its "|" and CR LF: folder, ", ", name, ", ", offset, ...
std::string FormatItemLine(std::string_view folder, std::string_view fileName, int32_t offset,
                           int32_t size, int32_t fileDate);

}  // namespace vx
