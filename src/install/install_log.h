// The install log's entries and how they reach the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vx {

// One entry of an ini file.
struct LogEntry {
  std::string section;
  std::string key;
  std::string value;
};

// The install log's entries in the order they are written: the two counts in
// "Document" (the highest "Id_" index of each list, -1 for an empty list),
// then every folder, then every file.
std::vector<LogEntry> InstallLogEntries(const std::vector<std::string>& folders,
                                        const std::vector<std::string>& files);

// Writes the entries into the file, new or existing, with the result of one
// WritePrivateProfileStringA call per entry in order, byte for byte, but with
// as few profile calls as the file's form allows (see install_log.cpp).
// False when a write failed; what was written before stays. profileCalls:
// how many entries went through WritePrivateProfileStringA.
bool WriteLogEntries(const std::string& path, const std::vector<LogEntry>& entries,
                     size_t* profileCalls = nullptr);

}  // namespace vx
