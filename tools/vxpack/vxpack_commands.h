// The three commands of the vxpack tool, callable from tests.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "package/package.h"

namespace vx::pack {

// Process exit codes of the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // build refused, list unreadable, check found errors
inline constexpr int kExitUsage = 2;

// Packed DOS local date-time of a file's last-write time; 0 when the time
// cannot be held (before 1980). Empty when the file's time cannot be read.
std::optional<int32_t> FileDosDate(const std::string& path);

// The payload's items in packing order: the manifest's order when a manifest
// is given (one path relative to the folder per line, "/" or "\" between
// names, blank lines skipped), otherwise the folder's own files first and then
// each subfolder breadth first, names in byte order. Fills the dates from the
// files. Empty with a message in error when the folder or manifest cannot be
// read.
std::optional<std::vector<PackEntry>> CollectPayload(const std::string& folder,
                                                     const std::string& manifest,
                                                     std::string& error);

// True for "VXID_" + five digits + "_" + ten digits.
bool IsPackageIdentifier(const std::string& identifier);

// vxpack build; messages go to err.
int BuildCommand(const std::string& folder, const std::string& outPath,
                 const std::string& manifest, const std::string& identifier, std::ostream& out,
                 std::ostream& err);

// vxpack list: L, then one tab-separated line per item line as the setup's
// reader parses it: index, status, offset, size, date, folder, file name.
int ListCommand(const std::string& packagePath, std::ostream& out, std::ostream& err);

// vxpack check: one tab-separated line per finding (index, "error" or
// "warning", what, folder, file name) and a summary line. Non-zero exit when
// the package would not install or holds an unsafe path.
int CheckCommand(const std::string& packagePath, std::ostream& out, std::ostream& err);

// Command-line entry: argv without the program name.
int RunVxpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vx::pack
