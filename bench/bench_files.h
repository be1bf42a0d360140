// Clean-up helpers shared by the benchmark programs.
#pragma once

#include <string>

namespace vx::bench {

// Removes a folder with everything in it, read-only files too; failures are
// left as they are (a benchmark's scratch folder).
void RemoveTree(const std::string& path);

// Under HKEY_CURRENT_USER: the benchmark's scratch keys, into which it
// redirects the registry the worker writes.
inline constexpr char kScratchRegistryKey[] = "Software\\VantorexSetupBench";
// Deletes a key under HKEY_CURRENT_USER with all its subkeys.
void RemoveRegistryTree(const std::string& path);

}  // namespace vx::bench
