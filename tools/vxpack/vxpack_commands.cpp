#include "vxpack_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "common/files.h"
#include "common/text.h"

namespace vx::pack {

namespace fs = std::filesystem;

namespace {

std::optional<int64_t> ModifiedTime(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) != 0) return std::nullopt;
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
#endif
  return static_cast<int64_t>(info.st_mtime);
}

bool LocalTime(int64_t seconds, std::tm& local) {
  const std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
  return localtime_s(&local, &t) == 0;
#else
  return localtime_r(&t, &local) != nullptr;
#endif
}

// "2009-05-03 14:20:00", or "-" for a value that is no DOS date.
std::string DateText(int32_t packed) {
  std::optional<DosDateTime> date = UnpackDosDateTime(packed);
  if (!date) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date->year, date->month,
                date->day, date->hour, date->minute, date->second);
  return text;
}

// Splits a relative path at "/" and "\" into a package folder and file name.
PackEntry EntryFromRelativePath(const std::string& root, const std::string& relative) {
  std::vector<std::string> names;
  std::string current;
  for (char c : relative) {
    if (c == '/' || c == '\\') {
      names.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  PackEntry entry;
  entry.FileName = current;
  entry.Folder = names.empty() ? "\\" : "";
  std::string source = root;
  for (const std::string& name : names) {
    entry.Folder += "\\" + name;
    source += "/" + name;
  }
  entry.SourcePath = source + "/" + current;
  return entry;
}

bool ReadManifest(const std::string& root, const std::string& manifest,
                  std::vector<PackEntry>& entries, std::string& error) {
  std::ifstream in(manifest, std::ios::binary);
  if (!in) {
    error = manifest + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  for (const std::string& line : SplitLines(text.str())) {
    std::string path = TrimBlanks(line);
    if (!path.empty()) entries.push_back(EntryFromRelativePath(root, path));
  }
  return true;
}

// The folder's files first, then every subfolder breadth first; names are
// compared byte by byte so the order is the same on every machine.
bool WalkFolder(const std::string& root, std::vector<PackEntry>& entries, std::string& error) {
  struct Pending {
    std::string folder;  // package folder field
    std::string path;    // where it is on disk
  };
  std::deque<Pending> queue{{"\\", root}};
  while (!queue.empty()) {
    Pending current = queue.front();
    queue.pop_front();
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::error_code ec;
    for (fs::directory_iterator it(current.path, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      std::error_code kindError;
      if (it->is_directory(kindError)) {
        folders.push_back(name);
      } else if (it->is_regular_file(kindError)) {
        files.push_back(name);
      }
    }
    if (ec) {
      error = current.path + ": cannot be listed: " + ec.message();
      return false;
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& name : files) {
      PackEntry entry;
      entry.Folder = current.folder;
      entry.FileName = name;
      entry.SourcePath = current.path + "/" + name;
      entries.push_back(std::move(entry));
    }
    const std::string prefix = current.folder == "\\" ? "" : current.folder;
    for (const std::string& name : folders) {
      queue.push_back({prefix + "\\" + name, current.path + "/" + name});
    }
  }
  return true;
}

void PrintFinding(std::ostream& out, const std::string& index, const char* severity,
                  const std::string& what, const TPackItem* item) {
  out << index << '\t' << severity << '\t' << what;
  if (item != nullptr) out << '\t' << item->Folder << '\t' << item->FileName;
  out << '\n';
}

}  // namespace

std::optional<int32_t> FileDosDate(const std::string& path) {
  std::optional<int64_t> seconds = ModifiedTime(path);
  std::tm local{};
  if (!seconds || !LocalTime(*seconds, local)) return std::nullopt;
  DosDateTime date;
  date.year = local.tm_year + 1900;
  date.month = local.tm_mon + 1;
  date.day = local.tm_mday;
  date.hour = local.tm_hour;
  date.minute = local.tm_min;
  date.second = std::min(local.tm_sec, 59);  // a leap second is no DOS time
  return PackDosDateTime(date).value_or(0);
}

std::optional<std::vector<PackEntry>> CollectPayload(const std::string& folder,
                                                     const std::string& manifest,
                                                     std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = folder + ": no such folder";
    return std::nullopt;
  }
  std::vector<PackEntry> entries;
  try {
    bool read = manifest.empty() ? WalkFolder(folder, entries, error)
                                 : ReadManifest(folder, manifest, entries, error);
    if (!read) return std::nullopt;
  } catch (const std::exception& e) {
    error = folder + ": " + e.what();
    return std::nullopt;
  }
  for (PackEntry& entry : entries) {
    // Checked before the file is touched: a manifest must not reach outside.
    std::string unsafe = UnsafePathReason(entry.Folder, entry.FileName);
    if (!unsafe.empty()) {
      error = entry.SourcePath + ": unsafe path: " + unsafe;
      return std::nullopt;
    }
    std::optional<int32_t> date = FileDosDate(entry.SourcePath);
    if (!date) {
      error = entry.SourcePath + ": cannot be read";
      return std::nullopt;
    }
    entry.FileDate = *date;
  }
  return entries;
}

bool IsPackageIdentifier(const std::string& identifier) {
  const std::string prefix = kPackIdPrefix;
  if (identifier.size() != prefix.size() + 16 || !identifier.starts_with(prefix)) return false;
  for (size_t i = prefix.size(); i < identifier.size(); ++i) {
    const bool separator = i == prefix.size() + 5;
    const char c = identifier[i];
    if (separator ? c != '_' : (c < '0' || c > '9')) return false;
  }
  return true;
}

int BuildCommand(const std::string& folder, const std::string& outPath,
                 const std::string& manifest, const std::string& identifier, std::ostream& out,
                 std::ostream& err) {
  if (!identifier.empty() && !IsPackageIdentifier(identifier)) {
    err << "vxpack: --id must read VXID_nnnnn_nnnnnnnnnn\n";
    return kExitUsage;
  }
  std::string error;
  std::optional<std::vector<PackEntry>> entries = CollectPayload(folder, manifest, error);
  if (!entries) {
    std::remove(outPath.c_str());
    err << "vxpack: build failed: " << error << '\n';
    return kExitFailed;
  }
  for (const PackEntry& entry : *entries) {
    if (entry.FileDate == 0) {
      err << "vxpack: warning: " << entry.SourcePath
          << ": date before 1980 cannot be packed; written as 0\n";
    }
  }
  const std::string id = identifier.empty() ? DefaultPackageIdentifier(*entries) : identifier;
  BuildReport report = WritePackageFile(*entries, id, outPath);
  if (report.Code != kBuildOk) {
    err << "vxpack: build failed: " << report.Message << '\n';
    return kExitFailed;
  }
  out << "built " << outPath << ": " << entries->size() << " items, identifier " << id
      << ", item list at " << report.ListOffset << ", " << report.PackageSize << " bytes\n";
  return kExitOk;
}

int ListCommand(const std::string& packagePath, std::ostream& out, std::ostream& err) {
  std::optional<int32_t> listOffset = ReadItemListOffset(packagePath);
  if (!listOffset) {
    err << "vxpack: " << packagePath << ": cannot be opened\n";
    return kExitFailed;
  }
  std::vector<std::string> lines;
  std::optional<int32_t> read = ReadItemList(packagePath, &lines);
  out << "# list-offset\t" << *listOffset << '\n';
  if (!read || *read != kReadListOk) {
    err << "vxpack: " << packagePath << ": item list cannot be read (result "
        << (read ? std::to_string(*read) : std::string("failure")) << ")\n";
    return kExitFailed;
  }
  out << "# index\tstatus\toffset\tsize\tdate\tfolder\tname\n";
  size_t valid = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::optional<std::string_view> record = RecordText(lines[i]);
    if (!record) {
      out << i << "\tskip\t-\t-\t-\t-\t" << lines[i] << '\n';
      continue;
    }
    TPackItem item("xxx", "xxx");
    item.ParseLine(*record);
    if (item.Status == kItemValid) ++valid;
    out << i << '\t' << item.Status << '\t' << item.Offset << '\t' << item.Size << '\t'
        << DateText(item.FileDate) << '\t' << item.Folder << '\t' << item.FileName << '\n';
  }
  out << "# lines\t" << lines.size() << "\tvalid\t" << valid << '\n';
  return kExitOk;
}

int CheckCommand(const std::string& packagePath, std::ostream& out, std::ostream& err) {
  std::optional<int32_t> packageSize = FileSizeOf(packagePath);
  std::optional<int32_t> listOffset = ReadItemListOffset(packagePath);
  if (!packageSize || !listOffset) {
    err << "vxpack: " << packagePath << ": cannot be opened\n";
    return kExitFailed;
  }
  int errors = 0;
  int warnings = 0;
  auto error = [&](const std::string& index, const std::string& what, const TPackItem* item) {
    PrintFinding(out, index, "error", what, item);
    ++errors;
  };
  auto warning = [&](const std::string& index, const std::string& what, const TPackItem* item) {
    PrintFinding(out, index, "warning", what, item);
    ++warnings;
  };

  std::vector<std::string> lines;
  std::optional<int32_t> read = ReadItemList(packagePath, &lines);
  if (!read || *read != kReadListOk) {
    error("-", "item list cannot be read (item-list offset " + std::to_string(*listOffset) + ")",
          nullptr);
    out << "check: 0 valid items, " << errors << " errors, " << warnings << " warnings: FAILED\n";
    return kExitFailed;
  }
  std::ifstream header(packagePath, std::ios::binary);
  char magic[sizeof kPackMagic - 1] = {};
  if (!header.read(magic, sizeof magic) ||
      std::string_view(magic, sizeof magic) != std::string_view(kPackMagic)) {
    warning("-", "header does not start with \"" + std::string(kPackMagic) + "\"", nullptr);
  }
  if (*listOffset < kPackHeaderSize) warning("-", "item list starts inside the header", nullptr);
  if (lines.size() < 2) error("-", "fewer than two item lines", nullptr);

  struct Range {
    int64_t begin;
    int64_t end;
    size_t index;
  };
  std::vector<Range> ranges;
  std::vector<TPackItem> items;
  std::set<std::string> targets;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string index = std::to_string(i);
    std::optional<std::string_view> record = RecordText(lines[i]);
    if (!record) {
      warning(index, "line without \"|\" is ignored", nullptr);
      continue;
    }
    TPackItem item("xxx", "xxx");
    item.ParseLine(*record);
    std::string unsafe = UnsafePathReason(item.Folder, item.FileName);
    if (!unsafe.empty()) {
      error(index, "unsafe path: " + unsafe, &item);
      continue;
    }
    if (item.Status != kItemValid) {
      warning(index, "invalid line is dropped", &item);
      continue;
    }
    const int64_t begin = item.Offset;
    const int64_t end = begin + item.Size;
    if (item.Offset < 0 || item.Size < 0 || end > *packageSize) {
      error(index, "range reaches outside the package", &item);
    } else {
      if (begin < kPackHeaderSize) warning(index, "range starts inside the header", &item);
      if (end > *listOffset) warning(index, "range reaches into the item list", &item);
      ranges.push_back({begin, end, i});
    }
    if (item.FileDate > 0 && !UnpackDosDateTime(item.FileDate)) {
      warning(index, "date is no DOS date-time", &item);
    }
    std::string target = item.Folder == "\\" ? std::string() : item.Folder;
    target += "\\" + item.FileName;
    for (char& c : target) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (!targets.insert(target).second) warning(index, "same target as an earlier item", &item);
    items.push_back(std::move(item));
  }
  if (items.size() < 2) error("-", "fewer than two valid items", nullptr);

  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  int64_t covered = kPackHeaderSize;
  for (const Range& range : ranges) {
    const std::string index = std::to_string(range.index);
    if (range.begin < covered && range.end > range.begin) {
      warning(index, "range overlaps another item", nullptr);
    } else if (range.begin > covered) {
      warning(index, "gap of " + std::to_string(range.begin - covered) + " bytes before it",
              nullptr);
    }
    covered = std::max(covered, range.end);
  }
  if (!ranges.empty() && covered < *listOffset) {
    warning("-", "gap of " + std::to_string(*listOffset - covered) + " bytes before the item list",
            nullptr);
  }
  out << "check: " << items.size() << " valid items of " << lines.size() << " lines, " << errors
      << " errors, " << warnings << " warnings: " << (errors == 0 ? "OK" : "FAILED") << '\n';
  return errors == 0 ? kExitOk : kExitFailed;
}

int RunVxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const char* usage =
      "usage: vxpack build <payload-folder> <out.pck> [--manifest FILE] "
      "[--id VXID_nnnnn_nnnnnnnnnn]\n"
      "       vxpack list <file.pck>\n"
      "       vxpack check <file.pck>\n";
  if (args.size() == 2 && args[0] == "list") return ListCommand(args[1], out, err);
  if (args.size() == 2 && args[0] == "check") return CheckCommand(args[1], out, err);
  if (args.size() >= 3 && args[0] == "build") {
    std::string manifest;
    std::string identifier;
    for (size_t i = 3; i < args.size(); i += 2) {
      if (i + 1 >= args.size()) {
        err << usage;
        return kExitUsage;
      }
      if (args[i] == "--manifest") {
        manifest = args[i + 1];
      } else if (args[i] == "--id") {
        identifier = args[i + 1];
      } else {
        err << usage;
        return kExitUsage;
      }
    }
    return BuildCommand(args[1], args[2], manifest, identifier, out, err);
  }
  err << usage;
  return kExitUsage;
}

}  // namespace vx::pack
