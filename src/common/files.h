// File and folder helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vx {

// Size of a file in bytes as a signed 32-bit number, measured while others may
// read and write the file. A file that cannot be opened is a failure that
// reaches the caller: the result is then empty. Portable: the package reader
// uses it on the host as well.
std::optional<int32_t> FileSizeOf(const std::string& path);

#ifdef _WIN32
// True when the path's attributes can be read and mark a folder.
bool FolderExists(const std::string& path);

// Creates the folder and every missing folder above it, from the top down.
// true: the folder exists afterwards; false: a level could not be created.
// A path of fewer than three characters (after one trailing backslash is
// removed) counts as existing. Empty result: the failure reaches the caller
// (an empty path, or a relative path whose top level has no parent).
std::optional<bool> CreateFolderPath(const std::string& path);

// True when the path names an existing file that is not a folder.
bool FileExists(const std::string& path);

// A folder as a path to hand on or store: a bare drive ("C:") gets its root
// backslash back, since "C:" alone names the current folder of that drive;
// every other text is returned as it is.
std::string FolderPath(const std::string& folder);

// The Windows folder (GetWindowsDirectoryA), empty on failure.
std::string WindowsFolder();
#endif

}  // namespace vx
