// The rollback of the files and folders an install run made.
#include "install/rollback.h"

#include "common/files.h"
#include "common/run_log.h"

namespace vx {

void RemoveInstalledFiles(const std::string& installFolder,
                          const std::vector<std::string>& folders,
                          const std::vector<std::string>& files) {
  // Every deletion by handle, inside the install folder, never through a
  // link somebody put there while the run was going on.
  size_t removed = 0;
  for (const std::string& file : files) {
    const DeleteResult result = DeleteInsideFolder(installFolder, file, DeleteKind::File);
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
  LogLine("rollback: %zu of %zu listed files deleted", removed, files.size());
  // Backwards, so deeper folders go before their parents; only empty ones go.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    const DeleteResult result = DeleteInsideFolder(installFolder, *folder, DeleteKind::Folder);
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

}  // namespace vx
