#include "install/journal.h"

#include <utility>

namespace vx {

void InstallJournal::KeysCaptured(std::vector<KeyState> keys) {
  if (prior_.keysCaptured) return;
  prior_.keys = std::move(keys);
  prior_.keysCaptured = true;
}

void InstallJournal::Clear() {
  FolderList.clear();
  FileList.clear();
  prior_ = PriorState{};
}

}  // namespace vx
