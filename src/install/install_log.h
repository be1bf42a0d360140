// The install log's entries and how they reach the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vx {

class ProfileText;

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

// Reads a whole ini file into bytes and text when it is in the form the
// profile functions write (see ProfileText) and every byte comes back as it
// is through the ANSI code page in which they read it: text then holds what
// the profile functions would read. A missing file is empty. False when the
// file cannot be read, is in another form, or is larger than any log of
// this product: it is left to the profile functions.
bool ReadProfileFile(const std::string& path, std::string& bytes, ProfileText& text);

}  // namespace vx
