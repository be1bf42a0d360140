#include "package/reader.h"

#include <cstdio>

#include "common/files.h"
#include "common/text.h"
#include "package/package_files.h"

namespace vx {

using package_files::FilePtr;
using package_files::OpenFile;
using package_files::PackageFileExists;
using package_files::ReadExactly;

namespace {

// L from the first 98 bytes of a package: the second CR-delimited field,
// read up to the first 0 byte.
int32_t ListOffsetFromHeader(const char (&header)[kPackHeaderSize]) {
  std::string_view text(header);  // header[98] is 0
  std::string field = ExtractCharField(TrimBlanks(text), '\r', 2);
  std::optional<int32_t> listOffset = ParseInt32(TrimBlanks(field));
  return listOffset ? *listOffset : kListOffsetUnreadable;
}

// The item list's byte range from L to the end minus the last two bytes (the
// final CR LF); empty when L is not inside the package. Every bound is
// checked in 64 bits before anything is sized: a negative L, an L past the
// end or a size that wrapped cannot make a range larger than the package.
std::optional<int64_t> ItemListLength(int64_t packageSize, int32_t listOffset) {
  const int64_t length = packageSize - listOffset - 2;
  if (listOffset < 0 || length < 0) return std::nullopt;
  return length;
}

// The lines of an item list's bytes: up to a first 0 byte, stripped at both
// ends, split.
std::vector<std::string> ItemListLines(std::string_view list) {
  return SplitLines(TrimBlanks(list.substr(0, list.find('\0'))));
}

}  // namespace

std::optional<int32_t> ReadItemListOffset(const std::string& packagePath) {
  if (!PackageFileExists(packagePath)) return kListOffsetNoFile;
  FilePtr file = OpenFile(packagePath, "rb");
  if (!file) return std::nullopt;
  char buffer[kPackHeaderSize] = {};
  if (!ReadExactly(file.get(), buffer, kPackHeaderBytesRead)) return kListOffsetUnreadable;
  return ListOffsetFromHeader(buffer);
}

std::optional<int32_t> ReadItemList(const std::string& packagePath,
                                    std::vector<std::string>* lines) {
  if (lines == nullptr || !PackageFileExists(packagePath)) return kReadListNoFile;
  std::optional<int32_t> packageSize = FileSizeOf(packagePath);
  if (!packageSize) return std::nullopt;
  std::optional<int32_t> listOffset = ReadItemListOffset(packagePath);
  if (!listOffset) return std::nullopt;
  std::optional<int64_t> length = ItemListLength(*packageSize, *listOffset);
  if (!length) return kReadListFailed;

  FilePtr file = OpenFile(packagePath, "rb");
  if (!file) return std::nullopt;
  std::string buffer(static_cast<size_t>(*length), '\0');
  if (std::fseek(file.get(), static_cast<long>(*listOffset), SEEK_SET) != 0 ||
      !ReadExactly(file.get(), buffer.data(), buffer.size())) {
    return kReadListFailed;
  }
  *lines = ItemListLines(buffer);
  return kReadListOk;
}

int32_t ReadItemListThrough(uint64_t packageSize, const PackageBytesReader& read,
                            std::vector<std::string>* lines) {
  if (lines == nullptr) return kReadListNoFile;
  if (packageSize < static_cast<uint64_t>(kPackHeaderBytesRead) || packageSize > INT64_MAX) {
    return kReadListFailed;
  }
  char header[kPackHeaderSize] = {};
  if (!read(0, kPackHeaderBytesRead, header)) return kReadListFailed;
  const int32_t listOffset = ListOffsetFromHeader(header);
  std::optional<int64_t> length = ItemListLength(static_cast<int64_t>(packageSize), listOffset);
  if (!length) return kReadListFailed;
  std::string list(static_cast<size_t>(*length), '\0');
  if (!list.empty() && !read(static_cast<uint64_t>(listOffset), list.size(), list.data())) {
    return kReadListFailed;
  }
  *lines = ItemListLines(list);
  return kReadListOk;
}

int32_t ReadItemListFrom(std::string_view package, std::vector<std::string>* lines) {
  return ReadItemListThrough(
      package.size(),
      [package](uint64_t offset, size_t size, char* out) {
        package.copy(out, size, static_cast<size_t>(offset));
        return true;
      },
      lines);
}

std::vector<std::string> ItemListOf(std::string_view package) {
  std::vector<std::string> lines;
  ReadItemListFrom(package, &lines);
  return lines;
}

}  // namespace vx
