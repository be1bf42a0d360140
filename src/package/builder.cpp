#include "package/builder.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "package/package_files.h"

namespace vx {

using package_files::FilePtr;
using package_files::OpenFile;
using package_files::ReadExactly;
using package_files::RegularFileSize;

namespace {

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
  std::unordered_set<std::string> names;  // lower case: Windows compares so
  names.reserve(entries.size());
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
    std::string name = EntryName(entry);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!names.insert(std::move(name)).second) {
      return Failure(kBuildDuplicateName,
                     EntryName(entry) + ": names the same file as an earlier entry");
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

}  // namespace

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
