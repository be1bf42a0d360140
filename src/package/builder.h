// The package builder: lays items out into a package, in memory or streamed
// to a file, and names the package.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/format.h"

namespace vx {

// Builder (BuildPackageBytes, WritePackageFile).
inline constexpr int32_t kBuildOk = 0;
inline constexpr int32_t kBuildBadName = -2;           // "," or "|" or a control char in a name
inline constexpr int32_t kBuildUnsafePath = -3;        // folder or file name leaves the folder
inline constexpr int32_t kBuildBadIdentifier = -4;     // identifier with CR, LF, "|" or 0 byte
inline constexpr int32_t kBuildHeaderTooLong = -5;     // line 1 + line 2 exceed 92 characters
inline constexpr int32_t kBuildTooLarge = -6;          // package would pass 2 GiB - 1
inline constexpr int32_t kBuildUnreadable = -7;        // a source file cannot be read
inline constexpr int32_t kBuildWriteFailed = -8;       // the output cannot be written
// Two entries name one file on Windows (names compare without regard to
// case there): the second would overwrite the first.
inline constexpr int32_t kBuildDuplicateName = -9;

// One item to pack. Its bytes come from SourcePath when that is set,
// otherwise from Content.
struct PackEntry {
  std::string Folder;      // "\" or "\Sub\Folder"
  std::string FileName;
  int32_t FileDate = 0;    // packed DOS local date-time
  std::string SourcePath;
  std::string Content;
};

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
// with "," "|" or control characters, unsafe paths, two entries of one name
// (letter case aside), a bad identifier, a header
// that does not fit and packages of 2 GiB or more; out is left empty then.
BuildReport BuildPackageBytes(const std::vector<PackEntry>& entries, std::string_view identifier,
                              std::string& out);

// As BuildPackageBytes, streamed to a file: written to "<outPath>.partial"
// and renamed over outPath when complete. A failed build leaves no file at
// outPath (an older one is removed too, so nothing stale stays behind).
BuildReport WritePackageFile(const std::vector<PackEntry>& entries, std::string_view identifier,
                             const std::string& outPath);

}  // namespace vx
