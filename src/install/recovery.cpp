#include "install/recovery.h"

#include <windows.h>

#include "common/files.h"
#include "common/handles.h"
#include "common/run_log.h"
#include "install/journal.h"
#include "install/rollback.h"

namespace vx {

namespace {

// A journal is a few hundred bytes per item; far more is not one of ours.
constexpr LONGLONG kLargestJournal = 256LL * 1024 * 1024;

}  // namespace

RecoveryOutcome RecoverAbandonedRun(const std::string& windowsFolder) {
  if (windowsFolder.empty()) return RecoveryOutcome::NoJournal;
  const std::string path = RunJournalIn(windowsFolder);
  if (IsLink(path)) {
    LogLine("recovery: the journal is a link, left alone: %s", path.c_str());
    return RecoveryOutcome::Failed;
  }
  // A live run holds its journal open for writing and shares it for reading
  // only: asking for deletion, and sharing nothing but reading, fails then.
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return RecoveryOutcome::NoJournal;
    }
    if (error == ERROR_SHARING_VIOLATION) {
      LogLine("recovery: the run of %s is going on", path.c_str());
      return RecoveryOutcome::RunAlive;
    }
    LogFailure("recovery: opening the journal", path, error);
    return RecoveryOutcome::Failed;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestJournal) {
    LogFailure("recovery: reading the journal's size", path, GetLastError());
    return RecoveryOutcome::Failed;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() &&
      (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
       read != text.size())) {
    LogFailure("recovery: reading the journal", path, GetLastError());
    return RecoveryOutcome::Failed;
  }
  size_t records = 0;
  const InstallJournal journal = InstallJournal::Parse(text, &records);
  LogLine("recovery: an install run into %s did not end; undoing %zu records of its journal",
          journal.InstallFolder().c_str(), records);
  try {
    UndoJournal(journal);
  } catch (...) {
    LogCaught("recovery: undoing the run", path);
    return RecoveryOutcome::Failed;
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose)) {
    LogFailure("recovery: deleting the journal", path, GetLastError());
    return RecoveryOutcome::Failed;
  }
  LogLine("recovery: the run is undone");
  return RecoveryOutcome::Undone;
}

}  // namespace vx
