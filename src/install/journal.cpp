// The run's journal in memory and on disk.
//
// The file is text: one record per line, its fields separated by tabs, and
// at its end a tab, "#" and the FNV-1a hash of everything before it on the
// line in eight hex digits. A field's "%", tab, CR, LF and NUL bytes are
// written as "%" and two hex digits, so any path, value name or value data
// fits. The records:
//
//   run      <install folder>                  the first record
//   folder   <path>                            about to be made
//   file     <path>                            about to be written
//   listed   <path>                            listed, not written by the run
//   aside    <original> <aside>                about to be moved aside
//   placed   <path>                            about to be created elsewhere
//   key      <depth> <root> <path> <existed> <readable>
//   value    <name> <type> <data>              of the last key record
//   keys-end                                   the capture is whole
//
// A key record of depth d + 1 is a subkey of the last one of depth d. Keys
// count only once their keys-end record is there: the capture comes before
// the first registry write, so a torn capture means no key was changed yet.
#include "install/journal.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "common/files.h"
#include "common/run_log.h"

namespace vx {

namespace {

constexpr char kJournalFileName[] = "\\VXsetup.journal";

uint32_t Fnv1a(std::string_view bytes) {
  uint32_t hash = 2166136261u;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 16777619u;
  }
  return hash;
}

bool NeedsEscape(unsigned char byte) {
  return byte == '%' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\0';
}

void AppendEscaped(std::string& line, std::string_view field) {
  for (unsigned char byte : field) {
    if (!NeedsEscape(byte)) {
      line.push_back(static_cast<char>(byte));
      continue;
    }
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
    line.append(escaped, 3);
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The field as it was before escaping; false for a malformed escape.
bool Unescape(std::string_view field, std::string& out) {
  out.clear();
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out.push_back(field[i]);
      continue;
    }
    const int high = i + 1 < field.size() ? HexDigit(field[i + 1]) : -1;
    const int low = i + 2 < field.size() ? HexDigit(field[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

// The predefined roots a captured key may lie under, as the journal names them.
struct RootName {
  HKEY root;
  const char* name;
};
const RootName kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKCR"},
    {HKEY_CURRENT_USER, "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKLM"},
    {HKEY_USERS, "HKU"},
};

const char* NameOfRoot(HKEY root) {
  for (const RootName& known : kRoots) {
    if (known.root == root) return known.name;
  }
  return "";
}

HKEY RootNamed(const std::string& name) {
  for (const RootName& known : kRoots) {
    if (name == known.name) return known.root;
  }
  return nullptr;
}

// The fields of one whole record line (without its end of line); false when
// the hash does not match or an escape is malformed.
bool SplitRecord(std::string_view line, std::vector<std::string>& fields) {
  const size_t mark = line.rfind("\t#");
  if (mark == std::string_view::npos || line.size() - mark != 10) return false;
  char* end = nullptr;
  const std::string hashText(line.substr(mark + 2));
  const unsigned long hash = std::strtoul(hashText.c_str(), &end, 16);
  if (end != hashText.c_str() + 8 || hash != Fnv1a(line.substr(0, mark))) return false;
  fields.clear();
  std::string_view rest = line.substr(0, mark);
  std::string field;
  for (;;) {
    const size_t tab = rest.find('\t');
    if (!Unescape(rest.substr(0, tab), field)) return false;
    fields.push_back(field);
    if (tab == std::string_view::npos) break;
    rest.remove_prefix(tab + 1);
  }
  return true;
}

void WriteKeyRecords(const KeyState& key, int depth,
                     std::vector<std::vector<std::string>>& records) {
  records.push_back({"key", std::to_string(depth), NameOfRoot(key.root), key.path,
                     key.existed ? "1" : "0", key.readable ? "1" : "0"});
  for (const KeyState::Value& value : key.values) {
    records.push_back({"value", value.name, std::to_string(value.type), value.data});
  }
  for (const KeyState& subkey : key.subkeys) WriteKeyRecords(subkey, depth + 1, records);
}

}  // namespace

#ifdef VX_KILL_POINTS
// A test-only setup (tests/e2e) is built with this defined: it ends its own
// process, without warning, at one chosen check point or journal record.
void KillPointPassed(const char* kind);
#endif

std::string RunJournalIn(const std::string& windowsFolder) {
  return windowsFolder + kJournalFileName;
}

bool InstallJournal::StartOnDisk(const std::string& path, const std::string& installFolder) {
  EndOnDisk();
  installFolder_ = installFolder;
  // New, never an existing one: a journal already there belongs to a run
  // that is alive or has not been undone yet.
  file_.reset(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    LogFailure("making the run's journal", path, GetLastError());
    return false;
  }
  if (Write({"run", installFolder})) return true;
  EndOnDisk();
  return false;
}

void InstallJournal::EndOnDisk() {
  if (!file_) return;
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof dispose)) {
    LogFailure("deleting the run's journal", "", GetLastError());
  }
  file_.reset();
}

bool InstallJournal::Write(const std::vector<std::string>& fields, Durability durability) {
  if (!file_) return true;
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line.push_back('\t');
    AppendEscaped(line, field);
  }
  char hash[16];
  std::snprintf(hash, sizeof hash, "\t#%08X\n", static_cast<unsigned>(Fnv1a(line)));
  line += hash;
  DWORD written = 0;
  // Written through where the step changes what was there: the record is on
  // the disk before the step it announces.
  if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
      written != line.size() ||
      (durability == Durability::Flushed && !FlushFileBuffers(file_.get()))) {
    LogFailure("writing the run's journal", fields.empty() ? "" : fields[0], GetLastError());
    return false;
  }
#ifdef VX_KILL_POINTS
  KillPointPassed("record");
#endif
  return true;
}

bool InstallJournal::FolderMade(const std::string& folder) {
  if (!Write({"folder", folder}, Durability::Written)) return false;
  FolderList.push_back(folder);
  return true;
}

bool InstallJournal::FileWritten(const std::string& file) {
  if (!Write({"file", file}, Durability::Written)) return false;
  FileList.push_back(file);
  return true;
}

bool InstallJournal::FileNotMade(const std::string& file) {
  if (!Write({"unmade", file})) return false;
  if (!FileList.empty() && FileList.back() == file) FileList.pop_back();
  return true;
}

bool InstallJournal::FileListed(const std::string& file) {
  if (!Write({"listed", file})) return false;
  FileList.push_back(file);
  listedOnly_.push_back(file);
  return true;
}

bool InstallJournal::FileMovedAside(const std::string& original, const std::string& aside) {
  if (!Write({"aside", original, aside})) return false;
  asides_.push_back({original, aside});
  return true;
}

bool InstallJournal::FilePlaced(const std::string& file) {
  if (!Write({"placed", file})) return false;
  prior_.placedFiles.push_back(file);
  return true;
}

bool InstallJournal::KeysCaptured(std::vector<KeyState> keys) {
  if (prior_.keysCaptured) return true;
  if (file_) {
    std::vector<std::vector<std::string>> records;
    for (const KeyState& key : keys) WriteKeyRecords(key, 0, records);
    records.push_back({"keys-end"});
    // One flush for the capture: with its keys-end record.
    for (size_t i = 0; i < records.size(); ++i) {
      if (!Write(records[i], i + 1 == records.size() ? Durability::Flushed
                                                     : Durability::Written)) {
        return false;
      }
    }
  }
  prior_.keys = std::move(keys);
  prior_.keysCaptured = true;
  return true;
}

void InstallJournal::Clear() {
  EndOnDisk();
  installFolder_.clear();
  FolderList.clear();
  FileList.clear();
  asides_.clear();
  listedOnly_.clear();
  prior_ = PriorState{};
}

InstallJournal InstallJournal::Parse(std::string_view text, size_t* wholeRecords) {
  InstallJournal journal;
  size_t count = 0;
  std::vector<std::string> fields;
  // The keys of a capture not yet closed by its keys-end record, and the
  // path from a top key down to the last key read.
  std::vector<KeyState> keys;
  std::vector<KeyState*> open;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) break;  // torn: no end of line
    if (!SplitRecord(text.substr(0, end), fields)) break;
    text.remove_prefix(end + 1);
    const std::string& kind = fields[0];
    bool known = true;
    if (kind == "run" && fields.size() == 2) {
      journal.installFolder_ = fields[1];
    } else if (kind == "folder" && fields.size() == 2) {
      journal.FolderList.push_back(fields[1]);
    } else if (kind == "file" && fields.size() == 2) {
      journal.FileList.push_back(fields[1]);
    } else if (kind == "unmade" && fields.size() == 2) {
      if (!journal.FileList.empty() && journal.FileList.back() == fields[1]) {
        journal.FileList.pop_back();
      }
    } else if (kind == "listed" && fields.size() == 2) {
      journal.FileList.push_back(fields[1]);
      journal.listedOnly_.push_back(fields[1]);
    } else if (kind == "aside" && fields.size() == 3) {
      journal.asides_.push_back({fields[1], fields[2]});
    } else if (kind == "placed" && fields.size() == 2) {
      journal.prior_.placedFiles.push_back(fields[1]);
    } else if (kind == "key" && fields.size() == 6) {
      const size_t depth = std::strtoul(fields[1].c_str(), nullptr, 10);
      KeyState key;
      key.root = RootNamed(fields[2]);
      key.path = fields[3];
      key.existed = fields[4] == "1";
      key.readable = fields[5] == "1";
      if (!key.root || depth > open.size()) break;
      open.resize(depth);
      std::vector<KeyState>& siblings = depth == 0 ? keys : open.back()->subkeys;
      siblings.push_back(std::move(key));
      open.push_back(&siblings.back());
    } else if (kind == "value" && fields.size() == 4 && !open.empty()) {
      open.back()->values.push_back(
          {fields[1], static_cast<DWORD>(std::strtoul(fields[2].c_str(), nullptr, 10)),
           fields[3]});
    } else if (kind == "keys-end" && fields.size() == 1) {
      journal.prior_.keys = std::move(keys);
      journal.prior_.keysCaptured = true;
      keys.clear();
      open.clear();
    } else {
      known = false;
    }
    if (!known) break;  // not written by this program: read no further
    ++count;
  }
  if (wholeRecords) *wholeRecords = count;
  return journal;
}

}  // namespace vx
