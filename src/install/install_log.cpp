// The install log the product's uninstall program reads, and the removal of
// what a cancelled install run created.
#include <string>

#include "common/run_log.h"
#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "install/install_log.h"
#include "install/install_thread.h"
#include "install/profile_text.h"
#include "install/rollback.h"

namespace vx {

std::vector<LogEntry> InstallLogEntries(const std::vector<std::string>& folders,
                                        const std::vector<std::string>& files) {
  std::vector<LogEntry> entries;
  entries.reserve(2 + folders.size() + files.size());
  entries.push_back({kLogSectionDocument, kLogSectionFolders,
                     std::to_string(static_cast<int64_t>(folders.size()) - 1)});
  entries.push_back({kLogSectionDocument, kLogSectionFiles,
                     std::to_string(static_cast<int64_t>(files.size()) - 1)});
  for (size_t i = 0; i < folders.size(); ++i) {
    entries.push_back({kLogSectionFolders, kLogEntryPrefix + std::to_string(i), folders[i]});
  }
  for (size_t i = 0; i < files.size(); ++i) {
    entries.push_back({kLogSectionFiles, kLogEntryPrefix + std::to_string(i), files[i]});
  }
  return entries;
}

namespace {

// The profile functions read and write the file in the ANSI code page: text
// that would not come back byte for byte through it is left to them, and so
// is any byte above 127 where that code page is not Windows-1252 (other code
// pages have blanks of their own there).
bool KeptByAnsiCodePage(const std::string& text) {
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return true;
  if (GetACP() != 1252) return false;
  const int length = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
  const int backLength =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string back(static_cast<size_t>(backLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, back.data(), backLength, nullptr,
                      nullptr);
  return back == text;
}

// Writes the log's entries into an existing or new log file with the result
// of one WritePrivateProfileStringA call per entry, byte for byte, but with
// one write of the file for the lot where it can: each profile call re-reads
// and rewrites the whole file, which makes a log of a few hundred entries cost
// more than unpacking the files it lists.
//
// The file is merged in memory while it is in a form ProfileText reproduces.
// A section the file does not have yet is written by the profile functions
// themselves, and the file read back must then be what the merge predicts:
// that shows how the profile functions of this system lay out sections, and
// the rest is merged in that layout. Whenever the file or an entry is in a
// form the merge cannot reproduce, the entries not yet in the file go to the
// profile functions one by one, as without the merge.
class LogFileWriter {
 public:
  LogFileWriter(const std::string& path, const std::vector<LogEntry>& entries)
      : path_(path), entries_(entries) {}

  size_t profileCalls() const { return profileCalls_; }

  // False when a write failed; what was written before stays in the file.
  bool Write() {
    if (!Load()) return WriteRestWithProfileFunctions();
    for (size_t i = 0; i < entries_.size(); ++i) {
      const LogEntry& entry = entries_[i];
      if (text_.HasSection(entry.section)) {
        if (text_.Set(entry.section, entry.key, entry.value)) continue;
        return Flush(i) != Flushed::Failed && WriteRestWithProfileFunctions();
      }
      if (Flushed flushed = Flush(i); flushed != Flushed::Done) {
        return flushed == Flushed::Refused && WriteRestWithProfileFunctions();
      }
      ProfileText expected = text_;
      if (!expected.AddSection(entry.section, entry.key, entry.value)) {
        return WriteRestWithProfileFunctions();
      }
      if (!WriteWithProfileFunctions(entry)) return false;
      onDisk_ = i + 1;
      if (!Load()) return WriteRestWithProfileFunctions();
      if (expected.layout() == ProfileText::Layout::None) expected.set_layout(text_.layout());
      if (expected.Text() != disk_) return WriteRestWithProfileFunctions();
    }
    Flushed flushed = Flush(entries_.size());
    return flushed == Flushed::Done ||
           (flushed == Flushed::Refused && WriteRestWithProfileFunctions());
  }

 private:
  enum class Flushed { Done, Refused, Failed };

  // Reads the file as the merge's starting point; false when it cannot be
  // read or is not in a form the merge reproduces. A missing file is empty.
  bool Load() { return ReadProfileFile(path_, disk_, text_); }

  // Brings the file up to entries_[0, upTo): writes the merged text unless the
  // file holds it already, as the profile functions leave a file alone when
  // no value changes. Refused: the text would not survive the code page; the
  // file is untouched.
  Flushed Flush(size_t upTo) {
    if (upTo == onDisk_) return Flushed::Done;
    std::string text = text_.Text();
    if (!KeptByAnsiCodePage(text)) return Flushed::Refused;
    if (text != disk_) {
      // Created the way the profile functions create it.
      FileHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      DWORD written = 0;
      if (!file ||
          !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) ||
          written != text.size()) {
        return Flushed::Failed;
      }
    }
    disk_ = std::move(text);
    onDisk_ = upTo;
    return Flushed::Done;
  }

  bool WriteWithProfileFunctions(const LogEntry& entry) {
    ++profileCalls_;
    return WritePrivateProfileStringA(entry.section.c_str(), entry.key.c_str(),
                                      entry.value.c_str(), path_.c_str()) != FALSE;
  }

  // The entries not yet in the file, one profile call each.
  bool WriteRestWithProfileFunctions() {
    for (; onDisk_ < entries_.size(); ++onDisk_) {
      if (!WriteWithProfileFunctions(entries_[onDisk_])) return false;
    }
    return true;
  }

  const std::string& path_;
  const std::vector<LogEntry>& entries_;
  size_t onDisk_ = 0;   // entries_[0, onDisk_) are in the file
  std::string disk_;    // the file's bytes as last read or written
  ProfileText text_;    // the file merged with entries_[0, i)
  size_t profileCalls_ = 0;
};

}  // namespace

// Far above any log of this product; a larger file is left to the profile
// functions rather than read whole.
constexpr LONGLONG kLargestWholeLog = 16 * 1024 * 1024;

bool ReadProfileFile(const std::string& path, std::string& bytes, ProfileText& text) {
  bytes.clear();
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND && text.Parse(bytes);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestWholeLog) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() &&
      (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    return false;
  }
  return KeptByAnsiCodePage(bytes) && text.Parse(bytes);
}

bool WriteLogEntries(const std::string& path, const std::vector<LogEntry>& entries,
                     size_t* profileCalls) {
  LogFileWriter writer(path, entries);
  const bool written = writer.Write();
  if (profileCalls) *profileCalls = writer.profileCalls();
  return written;
}

namespace {

constexpr char kNewSuffix[] = ".vxsetup-new";

// Makes the new log whole beside the old one, then puts it in its place with
// one rename: the uninstall program never meets a log written halfway. The
// old log is kept beside it (journaled as moved aside) until the run is
// over, and the new file is journaled before it is made.
bool WriteLogInOneStep(const std::string& log, const std::vector<LogEntry>& entries,
                       InstallJournal* journal, bool& journalFailed) {
  const std::string next = log + kNewSuffix;
  const bool existed = FileExists(log);
  if (journal) {
    const bool recorded = existed ? journal->FileMovedAside(log, log + kAsideSuffix)
                                  : journal->FilePlaced(log);
    if (!recorded || !journal->FilePlaced(next)) {
      journalFailed = true;
      return false;
    }
  }
  if (existed && (!CopyFileA(log.c_str(), (log + kAsideSuffix).c_str(), FALSE) ||
                  !CopyFileA(log.c_str(), next.c_str(), FALSE))) {
    return false;
  }
  if (!existed) DeleteFileA(next.c_str());  // a leftover of a run that died
  if (!WriteLogEntries(next, entries)) return false;
  {
    FileHandle file(CreateFileA(next.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get())) return false;
  }
  return MoveFileExA(next.c_str(), log.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace

int32_t TVXInstallThread::WriteInstallLog(const std::string& installFolder) {
  try {
    const std::string windows = QueryWindowsFolder ? QueryWindowsFolder() : vx::WindowsFolder();
    const std::string log = (!windows.empty() && FolderExists(windows))
                                ? InstallLogInWindowsFolder(windows)
                                : InstallLogInInstallFolder(installFolder);
    static const std::vector<std::string> kNone;
    bool journalFailed = false;
    const bool written = WriteLogInOneStep(
        log, InstallLogEntries(Journal ? Journal->Folders() : kNone,
                               Journal ? Journal->Files() : kNone),
        Journal, journalFailed);
    if (journalFailed) return kJournalWriteFailed;
    if (written) {
      LogLine("install log written: %s", log.c_str());
    } else {
      LogFailure("writing the install log", log, GetLastError());
    }
    return written ? kInstallOk : kLogFailed;
  } catch (...) {
    LogCaught("writing the install log");
    return kLogFailed;
  }
}

}  // namespace vx
