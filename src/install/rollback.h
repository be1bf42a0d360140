// The rollback of the files and folders an install run made (the keys it
// changed go back through prior_state.h).
#pragma once

#include <string>
#include <vector>

namespace vx {

// Deletes the listed files (first to last), then removes the listed folders
// that are empty (last to first): only inside the install folder, by handle,
// and never through a link. Nothing stops it: each path it leaves is traced
// in the run log.
void RemoveInstalledFiles(const std::string& installFolder,
                          const std::vector<std::string>& folders,
                          const std::vector<std::string>& files);

}  // namespace vx
