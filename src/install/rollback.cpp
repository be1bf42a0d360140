// Undoing an install run from its journal, and discarding what a completed
// run moved aside.
#include "install/rollback.h"

#include <windows.h>

#include <cstring>

#include "common/files.h"
#include "common/run_log.h"

namespace vx {

namespace {

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// folder is path itself or one of its levels (names compared without case).
bool IsLevelOf(const std::string& folder, const std::string& path) {
  if (folder.empty() || folder.size() > path.size()) return false;
  if (_strnicmp(folder.c_str(), path.c_str(), folder.size()) != 0) return false;
  return folder.size() == path.size() || path[folder.size()] == '\\';
}

bool ContainsPathIgnoringCase(const std::vector<std::string>& paths, const std::string& path) {
  for (const std::string& entry : paths) {
    if (_stricmp(entry.c_str(), path.c_str()) == 0) return true;
  }
  return false;
}

// Where the run's deletions may happen: the highest level it made above the
// install folder, else the install folder.
std::string ContainerOf(const InstallJournal& journal) {
  const std::string& installFolder = journal.InstallFolder();
  for (const std::string& folder : journal.Folders()) {
    if (IsLevelOf(folder, installFolder)) return folder;
  }
  return installFolder;
}

bool IsAsideFolder(const std::string& folder) {
  const size_t slash = folder.find_last_of('\\');
  const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  return name.rfind(kAsideFolderPrefix, 0) == 0;
}

// Removes the folders of moved-aside files that are empty now: the numbered
// folders the files lie in, then the folder that holds them. (A run of an
// earlier version put its files in that folder itself.)
void RemoveAsideFolders(const InstallJournal& journal) {
  std::vector<std::string> numbered;
  std::vector<std::string> holders;
  for (const MovedAside& moved : journal.Asides()) {
    const std::string folder = ParentOf(moved.aside);
    if (IsAsideFolder(folder)) {
      if (!ContainsPathIgnoringCase(holders, folder)) holders.push_back(folder);
    } else if (IsAsideFolder(ParentOf(folder)) && !ContainsPathIgnoringCase(numbered, folder)) {
      numbered.push_back(folder);
      if (!ContainsPathIgnoringCase(holders, ParentOf(folder))) {
        holders.push_back(ParentOf(folder));
      }
    }
  }
  for (const auto* folders : {&numbered, &holders}) {
    for (const std::string& folder : *folders) {
      if (!RemoveDirectoryA(folder.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
          GetLastError() != ERROR_PATH_NOT_FOUND) {
        LogFailure("removing the folder of moved-aside files (kept)", folder, GetLastError());
      }
    }
  }
}

void DeleteWrittenFiles(const InstallJournal& journal, const DeletionFolder& container) {
  size_t removed = 0;
  for (const std::string& file : journal.Files()) {
    if (ContainsPathIgnoringCase(journal.ListedOnly(), file)) continue;
    const DeleteResult result = DeleteInsideFolder(container, file, DeleteKind::File);
    switch (result.outcome) {
      case DeleteOutcome::Deleted:
        ++removed;
        break;
      case DeleteOutcome::Gone:
        break;
      case DeleteOutcome::Link:
        LogLine("rollback: not deleted, a link on the way: %s", file.c_str());
        break;
      case DeleteOutcome::Outside:
        LogLine("rollback: not deleted, outside the install folder: %s", file.c_str());
        break;
      case DeleteOutcome::NotEmpty:
      case DeleteOutcome::Failed:
        LogFailure("rollback: deleting a file", file, result.error);
        break;
    }
  }
  LogLine("rollback: %zu of %zu listed files deleted", removed, journal.Files().size());
}

// Last moved first: a path moved aside twice gets its first file back.
void BringBackMovedAside(const InstallJournal& journal) {
  const auto& asides = journal.Asides();
  for (auto moved = asides.rbegin(); moved != asides.rend(); ++moved) {
    if (GetFileAttributesA(moved->aside.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (PathCrossesLink(ParentOf(moved->original))) {
      LogLine("rollback: not brought back, a link on the way: %s", moved->original.c_str());
      continue;
    }
    if (MoveFileExA(moved->aside.c_str(), moved->original.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      LogLine("rollback: brought back: %s", moved->original.c_str());
    } else {
      LogFailure("rollback: bringing back a file moved aside (it stays at the second path)",
                 moved->original + " <- " + moved->aside, GetLastError());
    }
  }
  RemoveAsideFolders(journal);
}

void RemoveMadeFolders(const InstallJournal& journal, const DeletionFolder& container) {
  const auto& folders = journal.Folders();
  // Backwards, so deeper folders go before their parents; only empty ones go.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    const DeleteResult result = DeleteInsideFolder(container, *folder, DeleteKind::Folder);
    switch (result.outcome) {
      case DeleteOutcome::Deleted:
        LogLine("rollback: folder removed: %s", folder->c_str());
        break;
      case DeleteOutcome::Gone:
        break;
      case DeleteOutcome::Link:
        LogLine("rollback: folder kept, a link on the way: %s", folder->c_str());
        break;
      case DeleteOutcome::Outside:
        LogLine("rollback: folder kept, outside the install folder: %s", folder->c_str());
        break;
      case DeleteOutcome::NotEmpty:
      case DeleteOutcome::Failed:
        LogFailure("rollback: removing a folder (kept)", *folder, result.error);
        break;
    }
  }
}

}  // namespace

void UndoJournal(const InstallJournal& journal) {
  const std::string container = ContainerOf(journal);
  // Looked at once for the files, and again for the folders: bringing back
  // what was moved aside comes between.
  if (!container.empty()) DeleteWrittenFiles(journal, FindDeletionFolder(container));
  BringBackMovedAside(journal);
  if (!container.empty()) RemoveMadeFolders(journal, FindDeletionFolder(container));
  // Only what the install run changed: keys that were there before it keep
  // what they held.
  RestorePriorState(journal.Prior());
}

void DiscardMovedAside(const InstallJournal& journal) {
  for (const MovedAside& moved : journal.Asides()) {
    // A read-only one is made writable, and only one that refuses: under
    // Wine changing the attributes costs about as much as the deletion.
    const char* aside = moved.aside.c_str();
    if (DeleteFileA(aside)) continue;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      if (SetFileAttributesA(aside, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(aside)) continue;
      error = GetLastError();
    }
    if (error != ERROR_FILE_NOT_FOUND) {
      LogFailure("deleting a file moved aside (it stays)", moved.aside, error);
    }
  }
  RemoveAsideFolders(journal);
}

}  // namespace vx
