// Files helpers shared by the benchmark programs.
#pragma once

#include <string>

namespace vx::bench {

// Removes a folder with everything in it, read-only files too; failures are
// left as they are (a benchmark's scratch folder).
void RemoveTree(const std::string& path);

}  // namespace vx::bench
