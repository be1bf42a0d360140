// The package reader: the item list's offset and the item list, from a
// package file or from a package in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/format.h"

namespace vx {

// ReadItemListOffset: L as header line 2 gives it, or one of these.
inline constexpr int32_t kListOffsetNoFile = 0;        // the package file does not exist
inline constexpr int32_t kListOffsetUnreadable = -1;   // header too short or line 2 no number

// ReadItemList.
inline constexpr int32_t kReadListOk = 0;
inline constexpr int32_t kReadListFailed = -1;         // bad L, or reading the list failed
inline constexpr int32_t kReadListNoFile = -11;        // no file, or no string list given

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

// Copies `size` bytes at `offset` of a package into `out`; false when they
// cannot be read.
using PackageBytesReader = std::function<bool(uint64_t offset, size_t size, char* out)>;

// The same over a package of `packageSize` bytes read through `read`: only
// its header and its item list are read. kReadListFailed also when a read
// fails.
int32_t ReadItemListThrough(uint64_t packageSize, const PackageBytesReader& read,
                            std::vector<std::string>* lines);

// The item list of a package held in memory (a resource), as a list; empty
// when the header or L does not fit the bytes.
std::vector<std::string> ItemListOf(std::string_view package);

}  // namespace vx
