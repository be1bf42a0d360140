#include "install/package.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "common/files.h"
#include "common/text.h"

namespace vx {

namespace {

// ---------------------------------------------------------------- files
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The C runtime's fopen takes the name in the ANSI code page on Windows, as
// the rest of the setup does, and lets others read and write the file.
FilePtr OpenFile(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

// Size of an existing regular file; empty when there is none at the path.
std::optional<int64_t> RegularFileSize(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IFREG) == 0) return std::nullopt;
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
#endif
  return static_cast<int64_t>(info.st_size);
}

bool PackageFileExists(const std::string& path) { return RegularFileSize(path).has_value(); }

// Reads exactly count bytes from the current position.
bool ReadExactly(std::FILE* file, char* buffer, size_t count) {
  return std::fread(buffer, 1, count, file) == count;
}

// ---------------------------------------------------------------- names
bool IsDeviceName(std::string_view name) {
  // Windows maps these to devices in every folder, with or without extension.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper(base);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$",
                                                  "CONOUT$", "CLOCK$"};
  for (std::string_view device : kDevices) {
    if (upper == device) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

// Why one folder segment or file name is not a plain name, or nullptr.
const char* NameProblem(std::string_view name) {
  if (name.empty()) return "empty name (doubled backslash or rooted form)";
  bool onlyDotsAndBlanks = true;
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') return "path separator inside a name";
    if (c == ':') return "drive or stream colon";
    if (byte < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return "character not allowed in names";
    }
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  if (onlyDotsAndBlanks) return "\".\" or \"..\" segment";
  if (IsDeviceName(name)) return "device name";
  return nullptr;
}

// Builder-side name rule: the reader must get back exactly what was written.
const char* FieldTextProblem(std::string_view text) {
  for (char c : text) {
    if (c == ',' || c == kItemLineEnd) return "contains \",\" or \"|\"";
    if (static_cast<unsigned char>(c) < 0x20) return "contains a control character";
  }
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) {
    return "starts or ends with a blank";
  }
  return nullptr;
}

// ---------------------------------------------------------------- builder
// Where the built bytes go: a string or a file.
class PackSink {
 public:
  virtual ~PackSink() = default;
  virtual bool Write(std::string_view bytes) = 0;
};

class StringSink final : public PackSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  bool Write(std::string_view bytes) override {
    out_.append(bytes);
    return true;
  }

 private:
  std::string& out_;
};

class FileSink final : public PackSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Write(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }

 private:
  std::FILE* file_;
};

std::string EntryName(const PackEntry& entry) {
  std::string name = entry.Folder;
  if (name.empty() || name.back() != '\\') name += '\\';
  return name + entry.FileName;
}

BuildReport Failure(int32_t code, std::string message) {
  BuildReport report;
  report.Code = code;
  report.Message = std::move(message);
  return report;
}

// Checks every entry and the identifier and measures the package. sizes gets
// one size per entry.
BuildReport PlanPackage(const std::vector<PackEntry>& entries, std::string_view identifier,
                        std::vector<int32_t>& sizes, std::string& header) {
  for (char c : identifier) {
    if (static_cast<unsigned char>(c) < 0x20 || c == kItemLineEnd) {
      return Failure(kBuildBadIdentifier,
                     "package identifier contains a control character or \"|\"");
    }
  }
  sizes.clear();
  sizes.reserve(entries.size());
  int64_t listOffset = kPackHeaderSize;
  int64_t listLength = 0;
  for (const PackEntry& entry : entries) {
    const char* problem = FieldTextProblem(entry.Folder);
    if (problem == nullptr) problem = FieldTextProblem(entry.FileName);
    if (problem != nullptr) {
      return Failure(kBuildBadName, EntryName(entry) + ": name " + problem);
    }
    std::string unsafe = UnsafePathReason(entry.Folder, entry.FileName);
    if (!unsafe.empty()) {
      return Failure(kBuildUnsafePath, EntryName(entry) + ": unsafe path: " + unsafe);
    }
    int64_t size = static_cast<int64_t>(entry.Content.size());
    if (!entry.SourcePath.empty()) {
      std::optional<int64_t> fileSize = RegularFileSize(entry.SourcePath);
      if (!fileSize) return Failure(kBuildUnreadable, entry.SourcePath + ": cannot be read");
      size = *fileSize;
    }
    if (size > INT32_MAX || listOffset + size > INT32_MAX) {
      return Failure(kBuildTooLarge, "payload reaches 2 GiB at " + EntryName(entry));
    }
    sizes.push_back(static_cast<int32_t>(size));
    listOffset += size;
    // Longest line: both names, four separators, three 11-character numbers,
    // "|" and CR LF; an upper bound is enough for the size check.
    listLength += static_cast<int64_t>(entry.Folder.size() + entry.FileName.size()) + 44;
  }
  if (listOffset + listLength > INT32_MAX) {
    return Failure(kBuildTooLarge, "package would reach 2 GiB");
  }
  header = PackageHeader(identifier, static_cast<int32_t>(listOffset));
  if (header.empty()) {
    return Failure(kBuildHeaderTooLong,
                   "identifier and item-list offset do not fit the 99-byte header");
  }
  BuildReport report;
  report.ListOffset = static_cast<int32_t>(listOffset);
  return report;
}

// Copies one source file to the sink; its size must still be the planned one.
BuildReport CopySource(const PackEntry& entry, int32_t size, PackSink& sink,
                       std::vector<char>& buffer) {
  FilePtr source = OpenFile(entry.SourcePath, "rb");
  if (!source) return Failure(kBuildUnreadable, entry.SourcePath + ": cannot be opened");
  int64_t left = size;
  while (left > 0) {
    size_t chunk = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
    if (!ReadExactly(source.get(), buffer.data(), chunk)) {
      return Failure(kBuildUnreadable, entry.SourcePath + ": read failed or file shrank");
    }
    if (!sink.Write(std::string_view(buffer.data(), chunk))) {
      return Failure(kBuildWriteFailed, "writing the package failed");
    }
    left -= static_cast<int64_t>(chunk);
  }
  if (std::fgetc(source.get()) != EOF) {
    return Failure(kBuildUnreadable, entry.SourcePath + ": file grew while being packed");
  }
  return BuildReport{};
}

BuildReport BuildPackage(const std::vector<PackEntry>& entries, std::string_view identifier,
                         PackSink& sink) {
  std::vector<int32_t> sizes;
  std::string header;
  BuildReport report = PlanPackage(entries, identifier, sizes, header);
  if (report.Code != kBuildOk) return report;
  if (!sink.Write(header)) return Failure(kBuildWriteFailed, "writing the package failed");

  std::vector<char> buffer;
  for (size_t i = 0; i < entries.size(); ++i) {
    const PackEntry& entry = entries[i];
    if (entry.SourcePath.empty()) {
      if (!sink.Write(entry.Content)) return Failure(kBuildWriteFailed, "writing the package failed");
      continue;
    }
    if (buffer.empty()) buffer.resize(1 << 20);
    BuildReport copied = CopySource(entry, sizes[i], sink, buffer);
    if (copied.Code != kBuildOk) return copied;
  }

  std::string list;
  int32_t offset = kPackHeaderSize;
  for (size_t i = 0; i < entries.size(); ++i) {
    list += FormatItemLine(entries[i].Folder, entries[i].FileName, offset, sizes[i],
                           entries[i].FileDate);
    offset += sizes[i];
  }
  if (!sink.Write(list)) return Failure(kBuildWriteFailed, "writing the package failed");
  report.PackageSize = static_cast<int64_t>(report.ListOffset) + static_cast<int64_t>(list.size());
  return report;
}

// FNV-1a over a byte range: a stable, platform-independent mix.
uint64_t MixBytes(uint64_t hash, std::string_view bytes) {
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string ZeroPadded(uint64_t value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

// ---------------------------------------------------------------- item record
TPackItem::TPackItem(std::string folder, std::string fileName)
    : Folder(std::move(folder)), FileName(std::move(fileName)) {}

void TPackItem::ParseLine(std::string_view text) {
  Folder = TrimBlanks(ExtractField(text, ",", 1));
  FileName = TrimBlanks(ExtractField(text, ",", 2));
  Status = kItemValid;
  int32_t* const numbers[3] = {&Offset, &Size, &FileDate};
  for (int32_t k = 0; k < 3; ++k) {
    std::optional<int32_t> value = ParseInt32(TrimBlanks(ExtractField(text, ",", k + 3)));
    if (!value) {
      Status = kItemInvalid;
      return;
    }
    *numbers[k] = *value;
  }
  // A record whose path would leave the install folder is no valid record.
  if (!IsSafeItemPath(Folder, FileName)) Status = kItemInvalid;
}

// ---------------------------------------------------------------- reader
std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

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

int32_t ReadItemListFrom(std::string_view package, std::vector<std::string>* lines) {
  if (lines == nullptr) return kReadListNoFile;
  if (package.size() < static_cast<size_t>(kPackHeaderBytesRead)) return kReadListFailed;
  char header[kPackHeaderSize] = {};
  package.copy(header, kPackHeaderBytesRead);
  const int32_t listOffset = ListOffsetFromHeader(header);
  std::optional<int64_t> length =
      ItemListLength(static_cast<int64_t>(package.size()), listOffset);
  if (!length) return kReadListFailed;
  *lines = ItemListLines(package.substr(static_cast<size_t>(listOffset),
                                        static_cast<size_t>(*length)));
  return kReadListOk;
}

std::vector<std::string> ItemListOf(std::string_view package) {
  std::vector<std::string> lines;
  ReadItemListFrom(package, &lines);
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::optional<std::string_view> RecordText(std::string_view line) {
  size_t bar = line.find(kItemLineEnd);
  if (bar == std::string_view::npos) return std::nullopt;
  return line.substr(0, bar);
}

std::string UnsafePathReason(std::string_view folder, std::string_view fileName) {
  if (!folder.empty()) {
    if (folder.front() != '\\') return "folder does not start with a backslash";
    std::string_view rest = folder.substr(1);
    // One trailing backslash is harmless: the folder is the same.
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    while (!rest.empty()) {
      size_t slash = rest.find('\\');
      std::string_view segment = rest.substr(0, slash);
      if (const char* problem = NameProblem(segment)) {
        return std::string("folder: ") + problem;
      }
      if (slash == std::string_view::npos) break;
      rest.remove_prefix(slash + 1);
      if (rest.empty()) return "folder: empty name (doubled backslash or rooted form)";
    }
  }
  if (const char* problem = NameProblem(fileName)) return std::string("file name: ") + problem;
  return std::string();
}

bool IsSafeItemPath(std::string_view folder, std::string_view fileName) {
  return UnsafePathReason(folder, fileName).empty();
}

// ---------------------------------------------------------------- dates
std::optional<int32_t> PackDosDateTime(const DosDateTime& value) {
  if (value.year < 1980 || value.year > 2107 || value.month < 1 || value.month > 12 ||
      value.day < 1 || value.day > DaysInMonth(value.year, value.month) || value.hour < 0 ||
      value.hour > 23 || value.minute < 0 || value.minute > 59 || value.second < 0 ||
      value.second > 59) {
    return std::nullopt;
  }
  uint32_t packed = static_cast<uint32_t>(value.year - 1980) << 25 |
                    static_cast<uint32_t>(value.month) << 21 |
                    static_cast<uint32_t>(value.day) << 16 |
                    static_cast<uint32_t>(value.hour) << 11 |
                    static_cast<uint32_t>(value.minute) << 5 |
                    static_cast<uint32_t>(value.second / 2);
  return static_cast<int32_t>(packed);
}

std::optional<DosDateTime> UnpackDosDateTime(int32_t packed) {
  uint32_t bits = static_cast<uint32_t>(packed);
  DosDateTime value;
  value.year = static_cast<int>(bits >> 25) + 1980;
  value.month = static_cast<int>(bits >> 21 & 0x0F);
  value.day = static_cast<int>(bits >> 16 & 0x1F);
  value.hour = static_cast<int>(bits >> 11 & 0x1F);
  value.minute = static_cast<int>(bits >> 5 & 0x3F);
  value.second = static_cast<int>(bits & 0x1F) * 2;
  if (value.month < 1 || value.month > 12 || value.day < 1 ||
      value.day > DaysInMonth(value.year, value.month) || value.hour > 23 || value.minute > 59 ||
      value.second > 58) {
    return std::nullopt;
  }
  return value;
}

int32_t DayCountSince1899(int year, int month, int day) {
  // Days from the civil calendar's epoch, then moved to 30 December 1899.
  auto daysFromCivil = [](int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
  };
  return static_cast<int32_t>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

// ---------------------------------------------------------------- builder
std::string PackageHeader(std::string_view identifier, int32_t listOffset) {
  std::string line1 = std::string(kPackMagic) + std::string(identifier);
  std::string line2 = std::to_string(listOffset);
  const size_t used = line1.size() + line2.size();
  if (used > static_cast<size_t>(kPackHeaderLines12Max)) return std::string();
  std::string header;
  header.reserve(kPackHeaderSize);
  header += line1;
  header += "\r\n";
  header += line2;
  header += "\r\n-";
  header.append(static_cast<size_t>(kPackHeaderLines12Max) - used, 'x');
  header += "\r\n";
  return header;
}

std::string FormatItemLine(std::string_view folder, std::string_view fileName, int32_t offset,
                           int32_t size, int32_t fileDate) {
  std::string line;
  line.reserve(folder.size() + fileName.size() + 48);
  line += folder;
  line += kItemFieldSeparator;
  line += fileName;
  line += kItemFieldSeparator;
  line += std::to_string(offset);
  line += kItemFieldSeparator;
  line += std::to_string(size);
  line += kItemFieldSeparator;
  line += std::to_string(fileDate);
  line += kItemLineEnd;
  line += "\r\n";
  return line;
}

std::string DefaultPackageIdentifier(const std::vector<PackEntry>& entries) {
  uint32_t newest = 0;
  bool haveDate = false;
  uint64_t hash = 14695981039346656037ull;
  for (const PackEntry& entry : entries) {
    const uint32_t date = static_cast<uint32_t>(entry.FileDate);
    if (UnpackDosDateTime(entry.FileDate) && (!haveDate || date > newest)) {
      newest = date;
      haveDate = true;
    }
    int64_t size = static_cast<int64_t>(entry.Content.size());
    if (!entry.SourcePath.empty()) size = RegularFileSize(entry.SourcePath).value_or(0);
    hash = MixBytes(hash, entry.Folder);
    hash = MixBytes(hash, std::string_view("\0", 1));
    hash = MixBytes(hash, entry.FileName);
    hash = MixBytes(hash, std::string_view("\0", 1));
    hash = MixBytes(hash, std::to_string(size) + "," + std::to_string(entry.FileDate) + ";");
  }
  int32_t dayCount = 0;
  if (haveDate) {
    std::optional<DosDateTime> date = UnpackDosDateTime(static_cast<int32_t>(newest));
    dayCount = DayCountSince1899(date->year, date->month, date->day);
  }
  return std::string(kPackIdPrefix) + ZeroPadded(static_cast<uint64_t>(dayCount), 5) + "_" +
         ZeroPadded(hash % 10000000000ull, 10);
}

BuildReport BuildPackageBytes(const std::vector<PackEntry>& entries, std::string_view identifier,
                              std::string& out) {
  out.clear();
  StringSink sink(out);
  BuildReport report = BuildPackage(entries, identifier, sink);
  if (report.Code != kBuildOk) out.clear();
  return report;
}

BuildReport WritePackageFile(const std::vector<PackEntry>& entries, std::string_view identifier,
                             const std::string& outPath) {
  const std::string partialPath = outPath + ".partial";
  std::remove(outPath.c_str());
  BuildReport report;
  {
    FilePtr file = OpenFile(partialPath, "wb");
    if (!file) return Failure(kBuildWriteFailed, partialPath + ": cannot be created");
    FileSink sink(file.get());
    report = BuildPackage(entries, identifier, sink);
    if (report.Code == kBuildOk && std::fflush(file.get()) != 0) {
      report = Failure(kBuildWriteFailed, partialPath + ": writing failed");
    }
    if (std::fclose(file.release()) != 0 && report.Code == kBuildOk) {
      report = Failure(kBuildWriteFailed, partialPath + ": writing failed");
    }
  }
  if (report.Code == kBuildOk && std::rename(partialPath.c_str(), outPath.c_str()) != 0) {
    report = Failure(kBuildWriteFailed, outPath + ": cannot be renamed into place");
  }
  if (report.Code != kBuildOk) std::remove(partialPath.c_str());
  return report;
}

}  // namespace vx
