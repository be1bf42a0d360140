// File and folder helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

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

// Rights for folders the elevated programs make under a folder a standard
// user can write: full control for Administrators and SYSTEM, protected
// (nothing inherited from the parent); the second also lets every signed-in
// user read, for what the user may be asked to send to support.
inline constexpr char kAdministratorsOnlyRights[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
inline constexpr char kAdministratorsWriteUsersReadRights[] =
    "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FR;;;AU)";

// Makes one new folder with the given rights (SDDL); false when it cannot be
// made, also when the name exists already (GetLastError tells).
bool CreateProtectedFolder(const std::string& path, const char* rights);

// Makes a new folder "<parent>\<prefix><16 random hex digits>" that only
// Administrators and SYSTEM may enter (a protected DACL, nothing inherited),
// for what an elevated program writes and then reads or runs. A name that
// exists already is never reused: another one is drawn. Returns the path
// without a trailing backslash; empty when no folder could be made.
std::string CreatePrivateFolder(const std::string& parent, const char* prefix);

// The same folder, held open from the moment it exists: nobody can rename
// or remove it while the handle is held, and it is removed when its last
// handle closes (the end of the process included) if it is empty by then.
// Returns the handle and the folder's path; an invalid handle and an empty
// path when no folder could be made (GetLastError tells).
HANDLE CreateHeldPrivateFolder(const std::string& parent, const char* prefix,
                               std::string* folder);

// A second handle to what handle opens, made now. At the end of a process
// its handles close oldest first: a folder's hold renewed after the files
// inside it are open closes after them, when the folder is empty.
HANDLE ReopenAsNewest(HANDLE handle);
#endif

}  // namespace vx
