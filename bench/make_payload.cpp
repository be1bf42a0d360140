// vxbenchpayload: writes a product payload of a chosen size for the
// benchmarks and the large-install test, at the time they run.
//
//   vxbenchpayload <folder> <M|L|T>
//
//   M   about 5,000 files, 300 MB   (bench/compare ... M)
//   L   about 20,000 files, 1.2 GB  (bench/compare ... L)
//   T   about 3,000 files, 1.1 GB with four files of 100 MB and more (the
//       large-install test)
//
// The payload looks like a development tool's: many small files (sources,
// headers, pages, pictures, class files), some medium ones (libraries,
// programs, archives) and a few large ones (runtime images, data archives),
// in folders several levels deep (bin, lib, include, samples\..., docs\...),
// each file with its own last-write time (even seconds, working hours, local
// time: the package keeps DOS times). Text files are made of words, binary
// files of random blocks mixed with runs of low-entropy and zero bytes, so a
// compressor finds about what it finds in a real product. Output is the same
// on every run: one fixed seed per size.
//
// A complete payload leaves "<folder>.complete" beside the folder. A later
// run finds it, checks every planned file's size and date on disk, and
// leaves the payload as it is when all agree ("reused"); otherwise it
// writes the folder again.
//
//   vxbenchpayload --wxs <folder> <out.wxs> <link folder>
//
// writes the WiX source of a Windows Installer package holding every file
// of a folder (one component per file, the folder tree as the install
// folder's tree), for bench/compare's MSI contender, which wixl builds; and
// into the link folder a hard link to each file named as the package's
// cabinet names it (its file key), from which bench/compare makes the
// uncompressed cabinet.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "random.h"

namespace {

namespace fs = std::filesystem;

// What the contents of a file look like.
enum class Kind { Text, Binary, Archive };

struct PlannedFile {
  std::string path;  // relative, "/" between names
  Kind kind;
  int64_t size;
  time_t date;       // last-write time, seconds since 1970
};

struct SizeProfile {
  const char* name;
  uint64_t seed;
  int smallFiles;     // 200 bytes to 48 KB
  int mediumFiles;    // the rest of the budget, 64 KB and more each
  int largeFiles;     // largeLow to largeHigh each
  int64_t largeLow, largeHigh;
  int64_t totalBytes;
};

constexpr SizeProfile kProfiles[] = {
    {"M", 0x4D3030, 4'700, 280, 4, 16'000'000, 40'000'000, 300'000'000},
    {"L", 0x4C3132, 18'900, 1'080, 12, 20'000'000, 60'000'000, 1'200'000'000},
    {"T", 0x543131, 2'600, 300, 4, 100'000'000, 180'000'000, 1'100'000'000},
};

// Bumped whenever the output for a size changes, so an older payload is not reused.
constexpr int kGeneratorVersion = 1;

using vx::sample::Random;

template <size_t N>
const char* Pick(Random& random, const char* const (&names)[N]) {
  return names[random.Next() % N];
}

const char* const kModules[] = {"core",   "ui",     "net",   "media",  "storage", "crypto",
                                "device", "render", "build", "debug",  "profile", "locale",
                                "sensor", "wallet", "maps",  "speech", "sync",    "push"};
const char* const kWords[] = {
    "screen",  "form",    "list",    "canvas",   "command", "image",   "font",     "ticker",
    "alert",   "gauge",   "text",    "field",    "choice",  "date",    "spacer",   "item",
    "timer",   "record",  "store",   "http",     "message", "sound",   "video",    "location",
    "device",  "skin",    "project", "midlet",   "display", "event",   "listener", "handler",
    "buffer",  "stream",  "reader",  "writer",   "cache",   "index",   "query",    "result",
    "session", "context", "manager", "factory",  "builder", "adapter", "provider", "service"};
const char* const kFolderWords[] = {"screen", "form", "event", "record", "stream",
                                    "cache",  "query", "session", "service", "device"};
const char* const kTextExtensions[] = {".java", ".h",   ".cpp",       ".xml",
                                       ".html", ".txt", ".properties"};
const char* const kBinaryExtensions[] = {".class", ".png", ".gif", ".res", ".bin", ".ico"};
const char* const kMediumExtensions[] = {".dll", ".jar", ".exe", ".lib", ".zip", ".dat"};
const char* const kLargeNames[] = {"runtime", "emulator", "devices", "symbols", "samples-media",
                                   "sdk-sources"};

std::string Capitalized(std::string word) {
  if (!word.empty()) word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

// A folder several levels deep under one of the product's top folders.
std::string SmallFileFolder(Random& random) {
  const std::string module = Pick(random, kModules);
  switch (random.Next() % 6) {
    case 0:
      return "include/vx/" + module + "/" + Pick(random, kFolderWords);
    case 1:
      return "docs/api/com/vantorex/" + module + "/" + Pick(random, kFolderWords);
    case 2:
      return "docs/guide/" + module;
    case 3:
      return "samples/" + module + "/" + Pick(random, kFolderWords) + "demo/src/com/vantorex/app";
    case 4:
      return "samples/" + module + "/" + Pick(random, kFolderWords) + "demo/res/images";
    default:
      return "lib/" + module + "/classes/com/vantorex/" + module + "/" +
             Pick(random, kFolderWords);
  }
}

std::string MediumFileFolder(Random& random) {
  switch (random.Next() % 4) {
    case 0: return "bin";
    case 1: return "lib";
    case 2: return std::string("lib/") + Pick(random, kModules);
    default: return std::string("tools/") + Pick(random, kModules) + "/bin";
  }
}

// A working-hours local time between 2015 and 2024 in even seconds. Daytime
// hours keep clear of the hour that daylight saving skips or repeats.
time_t DateOf(Random& random) {
  std::tm date{};
  date.tm_year = static_cast<int>(random.Between(2015, 2024)) - 1900;
  date.tm_mon = static_cast<int>(random.Between(0, 11));
  date.tm_mday = static_cast<int>(random.Between(1, 28));
  date.tm_hour = static_cast<int>(random.Between(8, 18));
  date.tm_min = static_cast<int>(random.Between(0, 59));
  date.tm_sec = static_cast<int>(random.Between(0, 29)) * 2;
  date.tm_isdst = -1;
  return std::mktime(&date);
}

// Every file of the payload, its size and date; the medium files take what
// the small and large ones leave of the total.
std::vector<PlannedFile> Plan(const SizeProfile& profile) {
  Random random(profile.seed);
  std::vector<PlannedFile> files;
  std::set<std::string> taken;
  auto add = [&](const std::string& folder, const std::string& stem, const std::string& ext,
                 Kind kind, int64_t size) {
    std::string name = stem + ext;
    for (int n = 2; !taken.insert(folder + "/" + name).second; ++n) {
      name = stem + std::to_string(n) + ext;
    }
    files.push_back({folder + "/" + name, kind, size, DateOf(random)});
  };
  int64_t fixedBytes = 0;
  for (int i = 0; i < profile.smallFiles; ++i) {
    const bool text = random.Next() % 3 != 0;
    // Mostly a few KB, now and then tens of KB.
    const int64_t size = random.Next() % 8 == 0 ? random.Between(8'000, 48'000)
                                                : random.Between(200, 8'000);
    const std::string stem = Capitalized(Pick(random, kWords)) + Capitalized(Pick(random, kWords));
    add(SmallFileFolder(random), stem,
        text ? Pick(random, kTextExtensions) : Pick(random, kBinaryExtensions),
        text ? Kind::Text : Kind::Binary, size);
    fixedBytes += size;
  }
  for (int i = 0; i < profile.largeFiles; ++i) {
    const int64_t size = random.Between(profile.largeLow, profile.largeHigh);
    add(i % 2 ? "lib/images" : "tools/emulator/data", kLargeNames[i % std::size(kLargeNames)],
        i % 2 ? ".img" : ".pak", Kind::Archive, size);
    fixedBytes += size;
  }
  const size_t firstMedium = files.size();
  std::vector<int64_t> weights;
  int64_t weightSum = 0;
  for (int i = 0; i < profile.mediumFiles; ++i) {
    weights.push_back(random.Between(1, 16));
    weightSum += weights.back();
    add(MediumFileFolder(random), std::string("vx") + Pick(random, kModules) + Pick(random, kWords),
        Pick(random, kMediumExtensions), Kind::Binary, 0);
  }
  const int64_t budget = std::max<int64_t>(profile.totalBytes - fixedBytes, 0);
  int64_t given = 0;
  for (size_t i = 0; i < weights.size(); ++i) {
    PlannedFile& file = files[firstMedium + i];
    file.size = i + 1 == weights.size() ? budget - given : budget * weights[i] / weightSum;
    file.size = std::max<int64_t>(file.size, 65'536);
    given += file.size;
  }
  return files;
}

// Lines of words, made once; a text file is its header and slices of it.
const std::string& TextPool() {
  static const std::string pool = [] {
    Random random(7);
    std::string text;
    while (text.size() < (1u << 20)) {
      const int words = static_cast<int>(random.Between(2, 11));
      text.append(static_cast<size_t>(random.Between(0, 3)) * 4, ' ');
      for (int w = 0; w < words; ++w) {
        text += Pick(random, kWords);
        text += w + 1 < words ? (random.Next() % 5 == 0 ? "." : " ") : ";";
      }
      text += "\r\n";
    }
    return text;
  }();
  return pool;
}

std::string TextOfSize(size_t size, const std::string& header, Random& random) {
  const std::string& pool = TextPool();
  std::string bytes(header, 0, std::min(header.size(), size));
  bytes.reserve(size);
  while (bytes.size() < size) {
    const size_t from = static_cast<size_t>(random.Next() % (pool.size() - 4096));
    const size_t start = pool.find('\n', from) + 1;
    const size_t take = std::min<size_t>(static_cast<size_t>(random.Between(200, 3000)),
                                         size - bytes.size());
    bytes.append(pool, start, take);
  }
  return bytes;
}

// Blocks of 4 KB: most random, some of small values (tables, code), some zero.
void FillBinary(char* out, size_t size, Random& random, int randomShare) {
  for (size_t at = 0; at < size; at += 4096) {
    const size_t block = std::min<size_t>(4096, size - at);
    const uint64_t pick = random.Next() % 100;
    if (pick < static_cast<uint64_t>(randomShare)) {
      size_t i = 0;
      for (; i + 8 <= block; i += 8) {
        const uint64_t value = random.Next();
        std::memcpy(out + at + i, &value, 8);
      }
      for (uint64_t value = random.Next(); i < block; ++i, value >>= 8) {
        out[at + i] = static_cast<char>(value);
      }
    } else if (pick < 90) {
      for (size_t i = 0; i < block; ++i) out[at + i] = static_cast<char>(random.Next() & 0x0F);
    } else {
      std::memset(out + at, 0, block);
    }
  }
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WriteFile(const std::string& root, const PlannedFile& file, uint64_t seed,
               std::vector<char>& buffer) {
  const std::string path = root + "/" + file.path;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  uint64_t fileSeed = seed;
  for (char c : file.path) fileSeed = (fileSeed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  Random random(fileSeed);
  bool ok = true;
  if (file.kind == Kind::Text) {
    const std::string bytes = TextOfSize(static_cast<size_t>(file.size),
                                         "// Vantorex SDK: " + file.path + "\r\n\r\n", random);
    ok = WriteAll(fd, bytes.data(), bytes.size());
  } else {
    // Programs and libraries: some structure; archives and images: nearly
    // all random, like compressed data.
    const int randomShare = file.kind == Kind::Archive ? 85 : 60;
    for (int64_t left = file.size; ok && left > 0;) {
      const size_t chunk = static_cast<size_t>(std::min<int64_t>(left, buffer.size()));
      FillBinary(buffer.data(), chunk, random, randomShare);
      if (left == file.size && chunk >= 2) std::memcpy(buffer.data(), "MZ", 2);
      ok = WriteAll(fd, buffer.data(), chunk);
      left -= static_cast<int64_t>(chunk);
    }
  }
  ok = ::close(fd) == 0 && ok;
  const struct timespec times[2] = {{file.date, 0}, {file.date, 0}};
  return ok && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string Signature(const SizeProfile& profile, const std::vector<PlannedFile>& files,
                      int64_t total) {
  std::ostringstream text;
  text << "size " << profile.name << ", generator " << kGeneratorVersion << ": " << files.size()
       << " files, " << total << " bytes\n";
  return text.str();
}

// True when the folder holds every planned file with its size and date, as
// the marker a complete run leaves says.
bool Complete(const std::string& root, const std::string& marker, const std::string& signature,
              const std::vector<PlannedFile>& files) {
  std::ifstream in(marker);
  std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (recorded != signature) return false;
  for (const PlannedFile& file : files) {
    struct stat info {};
    if (::stat((root + "/" + file.path).c_str(), &info) != 0 || info.st_size != file.size ||
        info.st_mtime != file.date) {
      return false;
    }
  }
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "vxbenchpayload: " << message << '\n';
  return 1;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The WiX elements of one folder: its files, then its subfolders, names in
// byte order. Every identifier and component GUID comes from a counter, so
// the same folder gives the same source.
// Sources are named relative to the payload folder, where wixl runs
// (it refuses absolute ones).
void WriteWixFolder(const fs::path& root, const fs::path& folder, const fs::path& links,
                    std::ostream& out, int& counter, int depth) {
  std::vector<fs::path> files, folders;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    (entry.is_directory() ? folders : files).push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  for (const fs::path& file : files) {
    const int id = ++counter;
    char guid[40];
    std::snprintf(guid, sizeof guid, "5A3C1E00-0000-4000-8000-%012d", id);
    fs::create_hard_link(file, links / ("f" + std::to_string(id)));
    out << indent << "<Component Id=\"c" << id << "\" Guid=\"" << guid << "\">"
        << "<File Id=\"f" << id << "\" Name=\"" << XmlEscaped(file.filename().string())
        << "\" Source=\"" << XmlEscaped(fs::relative(file, root).string())
        << "\" KeyPath=\"yes\"/></Component>\n";
  }
  for (const fs::path& sub : folders) {
    out << indent << "<Directory Id=\"d" << ++counter << "\" Name=\""
        << XmlEscaped(sub.filename().string()) << "\">\n";
    WriteWixFolder(root, sub, links, out, counter, depth + 1);
    out << indent << "</Directory>\n";
  }
}

// Components are gathered into the one feature by their identifiers.
int WriteWix(const std::string& folder, const std::string& outPath, const std::string& links) {
  std::ostringstream tree;
  int counter = 0;
  try {
    fs::remove_all(links);
    fs::create_directories(links);
    WriteWixFolder(fs::absolute(folder), fs::absolute(folder), links, tree, counter, 5);
  } catch (const std::exception& e) {
    return Fail(folder + ": " + e.what());
  }
  std::ofstream out(outPath, std::ios::trunc);
  out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
         "  <Product Id=\"5A3C1E00-0000-4000-8000-100000000001\" Name=\"Vantorex LITE\"\n"
         "           Language=\"1033\" Version=\"1.2.0.7\" Manufacturer=\"Kestrova srl\"\n"
         "           UpgradeCode=\"5A3C1E00-0000-4000-8000-100000000002\">\n"
         "    <Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\"/>\n"
         "    <Media Id=\"1\" Cabinet=\"payload.cab\" EmbedCab=\"yes\"/>\n"
         "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n"
         "      <Directory Id=\"ProgramFilesFolder\">\n"
         "        <Directory Id=\"INSTALLDIR\" Name=\"VantorexLite\">\n"
      << tree.str()
      << "        </Directory>\n      </Directory>\n    </Directory>\n"
         "    <Feature Id=\"Product\" Level=\"1\">\n";
  // Every file's component: the numbers not taken by a folder.
  std::string text = tree.str();
  for (size_t at = text.find("<Component Id=\"c"); at != std::string::npos;
       at = text.find("<Component Id=\"c", at + 1)) {
    const size_t start = at + 15;
    out << "      <ComponentRef Id=\"" << text.substr(start, text.find('"', start) - start)
        << "\"/>\n";
  }
  out << "    </Feature>\n  </Product>\n</Wix>\n";
  return out.flush() ? 0 : Fail(outPath + ": cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--wxs") == 0) return WriteWix(argv[2], argv[3], argv[4]);
  const SizeProfile* profile = nullptr;
  for (const SizeProfile& candidate : kProfiles) {
    if (argc == 3 && std::strcmp(argv[2], candidate.name) == 0) profile = &candidate;
  }
  if (profile == nullptr) {
    std::cerr << "usage: vxbenchpayload <folder> <M|L|T>\n"
                 "       vxbenchpayload --wxs <folder> <out.wxs> <link folder>\n";
    return 2;
  }
  std::string root = argv[1];
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const std::string marker = root + ".complete";
  const std::vector<PlannedFile> files = Plan(*profile);
  int64_t total = 0, largest = 0;
  std::set<std::string> folders;
  for (const PlannedFile& file : files) {
    total += file.size;
    largest = std::max(largest, file.size);
    folders.insert(file.path.substr(0, file.path.rfind('/')));
  }
  const std::string signature = Signature(*profile, files, total);
  const std::string summary = "payload " + std::string(profile->name) + ": " +
                              std::to_string(files.size()) + " files in " +
                              std::to_string(folders.size()) + " folders, " +
                              std::to_string(total) + " bytes, largest " + std::to_string(largest);
  if (Complete(root, marker, signature, files)) {
    std::cout << summary << " (reused)\n";
    return 0;
  }

  std::error_code ec;
  fs::remove(marker, ec);
  fs::remove_all(root, ec);
  if (ec) return Fail(root + ": cannot be cleared: " + ec.message());
  for (const std::string& folder : folders) {
    fs::create_directories(root + "/" + folder, ec);
    if (ec) return Fail(root + "/" + folder + ": cannot be created: " + ec.message());
  }
  std::vector<char> buffer(1 << 20);
  for (const PlannedFile& file : files) {
    if (!WriteFile(root, file, profile->seed, buffer)) {
      return Fail(root + "/" + file.path + ": cannot be written: " + std::strerror(errno));
    }
  }
  // The marker is written last: it says the payload is complete.
  std::ofstream out(marker, std::ios::trunc);
  out << signature;
  if (!out.flush()) return Fail(marker + ": cannot be written");
  std::cout << summary << '\n';
  return 0;
}
