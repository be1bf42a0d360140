// vxsample: writes the sample product the setup installs when no other
// payload is given, and the manifest that fixes its packing order.
//
//   vxsample <payload-folder> <manifest> [--program NAME=PATH]...
//
// The product's shape: 189 files in 14 folders, 17,328,533 bytes, the
// largest file 3,372,544 bytes, no empty file, dates from 1998 to 3 May 2009.
// The three programs the setup relies on are taken from --program when given
// (the real builds) and written as placeholders otherwise; the generated
// files are sized so the totals hold either way. Output is deterministic.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "random.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

constexpr int64_t kPayloadBytes = 17'328'533;
constexpr int64_t kLargestItemBytes = 3'372'544;

// What a file's bytes look like.
enum class Kind { Program, Library, Help, Skin, Schema, Project, Text, Jpeg, Gif, Png, Jar, Jad };

struct SampleFile {
  std::string folder;   // relative, "/" between names; empty for the product folder
  std::string name;
  Kind kind;
  int64_t size;         // nominal size; final size after scaling
  bool fixedSize;       // not scaled to make the total
  std::tm date;         // local last-write time
  std::string source;   // a real program to copy, when given
};

using vx::sample::Random;

uint64_t SeedOf(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::tm Date(int year, int month, int day, int hour, int minute, int second) {
  std::tm date{};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_hour = hour;
  date.tm_min = minute;
  date.tm_sec = second;
  date.tm_isdst = -1;
  return date;
}

// A working-hours date between 1998 and the release, even seconds (the
// package keeps time in 2-second steps). Daytime hours keep clear of the
// hour that daylight saving skips or repeats.
std::tm DateBetween(Random& random, int firstYear, int lastYear) {
  int year = static_cast<int>(random.Between(firstYear, lastYear));
  int month = static_cast<int>(random.Between(1, year == 2009 ? 4 : 12));
  int day = static_cast<int>(random.Between(1, 28));
  return Date(year, month, day, static_cast<int>(random.Between(8, 18)),
              static_cast<int>(random.Between(0, 59)),
              static_cast<int>(random.Between(0, 29)) * 2);
}

const char* const kSkins[] = {"Amber",   "Arctic", "Basalt",  "Birch",   "Cobalt",   "Copper",
                              "Coral",   "Dune",   "Ember",   "Fjord",   "Flint",    "Frost",
                              "Glacier", "Granite", "Harbor", "Indigo",  "Jade",     "Juniper",
                              "Lagoon",  "Lava",   "Meadow",  "Mist",    "Nimbus",   "Obsidian",
                              "Onyx",    "Pebble", "Quartz",  "Saffron", "Slate",    "Tundra",
                              "Willow"};
const char* const kSchemas[] = {
    "VXProject",  "VXScreen",    "VXForm",      "VXList",       "VXCanvas",     "VXMenu",
    "VXCommand",  "VXImage",     "VXFont",      "VXTicker",     "VXAlert",      "VXGauge",
    "VXTextBox",  "VXTextField", "VXChoice",    "VXDateField",  "VXSpacer",     "VXStringItem",
    "VXImageItem", "VXCustomItem", "VXTimer",   "VXRecordStore", "VXHttp",      "VXSms",
    "VXSound",    "VXVideo",     "VXLocation",  "VXBluetooth",  "VXSkin",       "VXDevice"};
const char* const kProjects[] = {"bookshop", "currency", "flashcards", "weather",
                                 "puzzle",   "notes",    "quiz",       "stopwatch"};
const char* const kSampleTexts[] = {"readme.txt",        "about.txt",          "help_en.txt",
                                    "help_it.txt",       "currency_rates.txt", "quiz_questions.txt",
                                    "flashcards_en.txt", "flashcards_it.txt",  "weather_cities.txt",
                                    "books.txt"};
const char* const kIcons[] = {"add",    "back",  "bookmark", "calendar", "camera", "clock",
                              "delete", "edit",  "exit",     "folder",   "help",   "home",
                              "mail",   "music", "next",     "phone",    "search"};
const int kIconSizes[] = {16, 24, 32, 48};

// The product's files in packing order, with nominal sizes and dates.
std::vector<SampleFile> ProductFiles() {
  std::vector<SampleFile> files;
  Random random(20090503);
  auto add = [&](std::string folder, std::string name, Kind kind, int64_t size, bool fixed,
                 std::tm date) {
    files.push_back({std::move(folder), std::move(name), kind, size, fixed, date, std::string()});
  };
  auto addRandom = [&](const std::string& folder, const std::string& name, Kind kind, int64_t low,
                       int64_t high) {
    int64_t size = random.Between(low, high);
    add(folder, name, kind, size, false, DateBetween(random, 2003, 2009));
  };

  // The product folder: libraries, the programs and the help file.
  add("", "LPng.dll", Kind::Library, 187'392, true, Date(1998, 6, 17, 8, 22, 6));
  add("", "vxcore.dll", Kind::Library, 1'104'896, false, Date(2009, 4, 28, 17, 2, 40));
  add("", "vxskin.dll", Kind::Library, 541'184, false, Date(2008, 11, 6, 11, 45, 18));
  add("", "vxmidp.dll", Kind::Library, 290'304, false, Date(2007, 9, 21, 15, 10, 2));
  add("", "vxlite.exe", Kind::Program, 2'910'208, true, Date(2009, 5, 3, 14, 20, 0));
  add("", "vxlite.chm", Kind::Help, kLargestItemBytes, true, Date(2009, 4, 30, 10, 5, 36));
  add("", "vxlancelite.exe", Kind::Program, 412'672, true, Date(2009, 5, 3, 14, 18, 52));
  add("", "UninstallVXLite.exe", Kind::Program, 376'832, true, Date(2009, 5, 3, 14, 19, 24));

  for (const char* skin : kSkins) addRandom("Skins", std::string(skin) + ".vxskin", Kind::Skin, 18'000, 120'000);
  for (const char* schema : kSchemas) addRandom("Schemas", std::string(schema) + ".xsd", Kind::Schema, 6'000, 42'000);
  for (const char* project : kProjects) addRandom("Projects", std::string(project) + ".vx5", Kind::Project, 9'000, 48'000);

  for (int i = 1; i <= 6; ++i) addRandom("SampleContent", "background" + std::to_string(i) + ".jpg", Kind::Jpeg, 60'000, 160'000);
  for (int i = 1; i <= 4; ++i) addRandom("SampleContent", "splash" + std::to_string(i) + ".gif", Kind::Gif, 20'000, 70'000);
  for (const char* text : kSampleTexts) addRandom("SampleContent", text, Kind::Text, 2'000, 24'000);
  for (int i = 1; i <= 8; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "photo%02d.jpg", i);
    addRandom("SampleContent", name, Kind::Jpeg, 80'000, 190'000);
  }
  for (const char* icon : kIcons) {
    for (int size : kIconSizes) {
      addRandom("SampleContent/PNGs", std::string(icon) + "_" + std::to_string(size) + ".png",
                Kind::Png, 400 + size * size * 6, 1'200 + size * size * 12);
    }
  }
  for (const char* project : kProjects) {
    const std::string folder = std::string("Projects/Compiled/") + project;
    addRandom(folder, std::string(project) + ".jar", Kind::Jar, 70'000, 260'000);
    add(folder, std::string(project) + ".jad", Kind::Jad, 400, true, files.back().date);
  }
  return files;
}

// Sizes the scaled files so the whole payload has kPayloadBytes. False when
// the fixed files (the programs above all) leave no room for that.
bool FitTotal(std::vector<SampleFile>& files) {
  int64_t fixedBytes = 0;
  int64_t nominalBytes = 0;
  int64_t scaledCount = 0;
  for (const SampleFile& file : files) {
    if (file.fixedSize) {
      fixedBytes += file.size;
    } else {
      nominalBytes += file.size;
      ++scaledCount;
    }
  }
  const int64_t budget = kPayloadBytes - fixedBytes;
  if (budget < scaledCount) return false;
  int64_t assigned = 0;
  for (SampleFile& file : files) {
    if (file.fixedSize) continue;
    file.size = std::max<int64_t>(1, file.size * budget / nominalBytes);
    assigned += file.size;
  }
  // Rounding leaves a few bytes (fewer than there are files): one each to
  // the first files, or taken from the largest when the 1-byte floor overshot.
  int64_t rest = budget - assigned;
  for (SampleFile& file : files) {
    if (rest == 0) break;
    if (file.fixedSize) continue;
    if (rest > 0) {
      ++file.size;
      --rest;
    } else if (file.size > 1) {
      int64_t take = std::min(file.size - 1, -rest);
      file.size -= take;
      rest += take;
    }
  }
  return rest == 0;
}

// ---------------------------------------------------------------- contents
void FillRandom(std::string& bytes, size_t from, Random& random) {
  size_t i = from;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t value = random.Next();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<char>(value >> (8 * k));
  }
  uint64_t value = random.Next();
  for (; i < bytes.size(); ++i, value >>= 8) bytes[i] = static_cast<char>(value);
}

// Text lines repeated until the size, CR LF ends, cut at the exact size.
std::string TextOfSize(int64_t size, const std::string& head, const std::vector<std::string>& body) {
  std::string text = head;
  for (size_t line = 0; static_cast<int64_t>(text.size()) < size; ++line) {
    text += body[line % body.size()];
    text += "\r\n";
  }
  text.resize(static_cast<size_t>(size));
  return text;
}

std::string Contents(const SampleFile& file, const std::map<std::string, int64_t>& jarSizes) {
  const size_t size = static_cast<size_t>(file.size);
  const std::string stem = file.name.substr(0, file.name.find('.'));
  Random random(SeedOf(file.folder + "/" + file.name));
  auto binary = [&](std::string_view magic) {
    std::string bytes(size, '\0');
    bytes.replace(0, std::min(magic.size(), size), magic.substr(0, std::min(magic.size(), size)));
    FillRandom(bytes, std::min(magic.size(), size), random);
    return bytes;
  };
  switch (file.kind) {
    case Kind::Program:
      return binary("MZ\x90\0\3\0\0\0\4\0\0\0\xFF\xFF\0\0"
                    "Vantorex LITE sample placeholder program"sv);
    case Kind::Library:
      return binary("MZ\x90\0\3\0\0\0\4\0\0\0\xFF\xFF\0\0"sv);
    case Kind::Help:
      return binary("ITSF"sv);
    case Kind::Skin:
      return binary("VXSKIN1\x1A"sv);
    case Kind::Jpeg:
      return binary("\xFF\xD8\xFF\xE0\x00\x10JFIF"sv);
    case Kind::Gif:
      return binary("GIF89a"sv);
    case Kind::Png:
      return binary("\x89PNG\r\n\x1A\n"sv);
    case Kind::Jar:
      return binary("PK\x03\x04"sv);
    case Kind::Schema:
      return TextOfSize(file.size,
                        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\r\n",
                        {"  <xs:element name=\"" + stem + "\" type=\"xs:string\"/>",
                         "  <xs:attribute name=\"id\" type=\"xs:ID\"/>",
                         "  <!-- Vantorex LITE screen description -->"});
    case Kind::Project:
      return TextOfSize(file.size,
                        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<vxproject name=\"" +
                            stem + "\" version=\"5\">\r\n",
                        {"  <screen id=\"main\" title=\"" + stem + "\"/>",
                         "  <command label=\"Back\" type=\"back\"/>",
                         "  <command label=\"Exit\" type=\"exit\"/>"});
    case Kind::Text:
      return TextOfSize(file.size, "Vantorex LITE sample content: " + file.name + "\r\n\r\n",
                        {"This text belongs to the sample projects that come with Vantorex LITE.",
                         "Open a sample project, change it and build it for your phone.",
                         ""});
    case Kind::Jad: {
      std::string jar = stem + ".jar";
      std::string head = "MIDlet-1: " + stem + ", /icon.png, " + stem + "Midlet\r\n" +
                         "MIDlet-Jar-Size: " + std::to_string(jarSizes.at(file.folder)) + "\r\n" +
                         "MIDlet-Jar-URL: " + jar + "\r\n" + "MIDlet-Name: " + stem + "\r\n" +
                         "MIDlet-Vendor: Kestrova srl\r\n" + "MIDlet-Version: 1.0.0\r\n" +
                         "MicroEdition-Configuration: CLDC-1.1\r\n" +
                         "MicroEdition-Profile: MIDP-2.0\r\n";
      return TextOfSize(file.size, head, {"MIDlet-Description: Vantorex LITE sample " + stem});
    }
  }
  return std::string(size, '\0');
}

bool SetModifiedTime(const std::string& path, std::tm date) {
  std::time_t when = std::mktime(&date);
  if (when == static_cast<std::time_t>(-1)) return false;
  struct timespec times[2] = {{when, 0}, {when, 0}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

int Fail(const std::string& message) {
  std::cerr << "vxsample: " << message << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: vxsample <payload-folder> <manifest> [--program NAME=PATH]...\n";
    return 2;
  }
  const std::string root = argv[1];
  const std::string manifestPath = argv[2];
  std::map<std::string, std::string> programs;
  for (int i = 3; i < argc; i += 2) {
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    const size_t equals = value.find('=');
    if (std::string_view(argv[i]) != "--program" || equals == std::string::npos || equals == 0) {
      return Fail(std::string("expected --program NAME=PATH, got ") + argv[i]);
    }
    programs[value.substr(0, equals)] = value.substr(equals + 1);
  }

  std::vector<SampleFile> files = ProductFiles();
  for (SampleFile& file : files) {
    auto program = programs.find(file.name);
    if (file.kind != Kind::Program || program == programs.end()) continue;
    std::error_code ec;
    uintmax_t size = fs::file_size(program->second, ec);
    if (ec) return Fail(program->second + ": cannot be read");
    file.source = program->second;
    file.size = static_cast<int64_t>(size);
    programs.erase(program);
  }
  if (!programs.empty()) return Fail("no program named " + programs.begin()->first);
  const bool totalHolds = FitTotal(files);
  if (!totalHolds) {
    std::cerr << "vxsample: warning: the programs are too large for a payload of " << kPayloadBytes
              << " bytes; the generated files keep their nominal sizes\n";
  }

  std::error_code ec;
  fs::remove_all(root, ec);
  if (ec) return Fail(root + ": cannot be cleared: " + ec.message());
  std::map<std::string, int64_t> jarSizes;
  for (const SampleFile& file : files) {
    if (file.kind == Kind::Jar) jarSizes[file.folder] = file.size;
  }

  std::string manifest;
  int64_t total = 0;
  const SampleFile* largest = nullptr;
  std::map<std::string, int> folders;
  for (const SampleFile& file : files) {
    const std::string folder = file.folder.empty() ? root : root + "/" + file.folder;
    fs::create_directories(folder, ec);
    if (ec) return Fail(folder + ": cannot be created: " + ec.message());
    const std::string path = folder + "/" + file.name;
    std::optional<std::string> bytes = file.source.empty() ? Contents(file, jarSizes)
                                                           : ReadFile(file.source);
    if (!bytes || bytes->size() != static_cast<size_t>(file.size)) {
      return Fail(file.source + ": cannot be read whole");
    }
    if (!WriteFile(path, *bytes)) return Fail(path + ": cannot be written");
    if (!SetModifiedTime(path, file.date)) return Fail(path + ": date cannot be set");
    manifest += (file.folder.empty() ? "" : file.folder + "/") + file.name + "\n";
    total += file.size;
    if (largest == nullptr || file.size > largest->size) largest = &file;
    ++folders[file.folder];
  }
  // The manifest is written last: its time tells the build the payload is complete.
  if (!WriteFile(manifestPath, manifest)) return Fail(manifestPath + ": cannot be written");
  std::cout << "sample payload: " << files.size() << " files in " << folders.size()
            << " folders, " << total << " bytes, largest " << largest->size << " ("
            << largest->name << ")\n";
  if (largest->size != kLargestItemBytes) {
    std::cerr << "vxsample: warning: " << largest->name << " is larger than the product's "
              << kLargestItemBytes << "-byte help file\n";
  }
  return 0;
}
