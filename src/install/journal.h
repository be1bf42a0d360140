// The journal of one install run: what the run made and changed, in the
// order it happened. The install run reports into it as it goes; the install
// log is written from its lists; a rollback undoes what it holds. The journal
// belongs to whoever starts the runs (the wizard's install session), outlives
// every worker, and is handed to the rollback worker as the install worker
// filled it.
//
// Only the worker that runs writes to it, and nobody reads it while a worker
// runs: the rollback worker starts after the install worker has ended.
#pragma once

#include <string>
#include <vector>

#include "install/prior_state.h"

namespace vx {

class InstallJournal {
 public:
  // ---- what the install run reports, each before or as it happens
  // A folder the run created (the install folder first, when it had to be
  // made, then each item folder level, highest first).
  void FolderMade(const std::string& folder) { FolderList.push_back(folder); }
  // A file the run is about to write, listed before its bytes go out, so a
  // file whose writing failed is removed too.
  void FileWritten(const std::string& file) { FileList.push_back(file); }
  // A file the run created outside the install folder, where none was before.
  void FilePlaced(const std::string& file) { prior_.placedFiles.push_back(file); }
  // The product's keys as they stood before the run's first registry write;
  // only the first capture counts.
  void KeysCaptured(std::vector<KeyState> keys);
  bool KeysWereCaptured() const { return prior_.keysCaptured; }

  // ---- what was recorded
  const std::vector<std::string>& Folders() const { return FolderList; }
  const std::vector<std::string>& Files() const { return FileList; }
  const PriorState& Prior() const { return prior_; }
  bool Empty() const {
    return FolderList.empty() && FileList.empty() && prior_.placedFiles.empty() &&
           !prior_.keysCaptured;
  }
  // Forgets everything (a new wizard, or its end).
  void Clear();

 private:
  // In the order made; the install log lists them under these names.
  std::vector<std::string> FolderList;
  std::vector<std::string> FileList;
  PriorState prior_;
};

}  // namespace vx
