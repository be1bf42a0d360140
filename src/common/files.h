// File and folder helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "common/handles.h"
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

// Rights for a folder the setup makes for the product, like Program Files':
// full control for SYSTEM, Administrators and TrustedInstaller; read and
// execute for Users and for all application packages; protected, so nothing
// inherited from a parent anybody may write grants more. The SIDs are
// written out where Windows 7 knows no alias.
inline constexpr char kProgramFilesRights[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
    "(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    "(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)";

// Makes one new folder with the given rights (SDDL); false when it cannot be
// made, also when the name exists already (GetLastError tells).
bool CreateProtectedFolder(const std::string& path, const char* rights);

// Makes one new folder with the given rights (SDDL) and holds it open from the
// moment it exists: nobody can rename or remove it (and so put a link in its
// place) while the handle is held. Never opens a folder that exists already:
// an invalid handle then, with ERROR_ALREADY_EXISTS.
HANDLE CreateHeldFolder(const std::string& path, const char* rights);

// Makes the folder and every missing level above it, from the top down, each
// with the given rights and held (its handle appended to holds, its path to
// made). true: the folder exists afterwards; false: a level could not be
// made (GetLastError tells: ERROR_DIRECTORY where a file stands in the way),
// or a level that was missing a moment before exists now (made by someone
// else: never entered; ERROR_ALREADY_EXISTS). A path of fewer than three
// characters counts as existing.
bool CreateHeldFolderPath(const std::string& path, const char* rights,
                          std::vector<FileHandle>& holds, std::vector<std::string>* made);

// True when what stands at the path is a link: a reparse point that stands
// for another name (a junction, a symbolic link, a mount point). What lies
// behind it is somewhere else than its path says. A cloud file's placeholder
// is a reparse point too, but no link.
bool IsLink(const std::string& path);
// The same with the path's attributes read already (INVALID_FILE_ATTRIBUTES:
// nothing stands there).
bool IsLink(const std::string& path, DWORD attributes);

// True when the path, or an existing level above it, is a link.
bool PathCrossesLink(const std::string& path);

// Where an open file or folder really is (links resolved), as a plain
// Windows path without the "\\?\" prefix; empty when the system cannot say.
std::string FinalPathOf(HANDLE handle);

// What became of a path that was to be deleted inside a folder.
enum class DeleteOutcome {
  Deleted,
  Gone,       // nothing at that path
  NotEmpty,   // a folder that still holds something: kept
  Link,       // the path or a level between it and the folder is a link: not followed
  Outside,    // the path does not lie inside the folder
  Failed,     // error tells why
};
struct DeleteResult {
  DeleteOutcome outcome = DeleteOutcome::Failed;
  DWORD error = ERROR_SUCCESS;
};

// What a path to be deleted is expected to name.
enum class DeleteKind { File, Folder };

// Deletes a file, or a folder when it is empty, that must lie inside folder
// (or be folder itself), for a program that must not be steered by whoever
// can write there: no link at any level from the drive root down to the
// path is followed; the path is opened by handle without following a link,
// the handle's final path must lie in the folder's, and the deletion goes
// through that handle. A read-only file is made writable first. What is not
// of the expected kind stays (Failed, ERROR_ACCESS_DENIED for a folder where
// a file was expected, ERROR_DIRECTORY for the other way round).
DeleteResult DeleteInsideFolder(const std::string& folder, const std::string& path,
                                DeleteKind kind);

// The folder that deletions must stay inside, looked at once for a run of
// them: its full path as named, and where it really is (empty when it could
// not be opened: error tells why). Under Wine, finding where a folder really
// is costs about half a millisecond, and undoing a large product deletes
// tens of thousands of files.
struct DeletionFolder {
  std::string named;
  std::string real;
  DWORD error = ERROR_SUCCESS;
};
DeletionFolder FindDeletionFolder(const std::string& folder);

// The same, inside a folder found once before.
DeleteResult DeleteInsideFolder(const DeletionFolder& folder, const std::string& path,
                                DeleteKind kind);

// Makes a new folder "<parent>\<prefix><16 random hex digits>" that only
// Administrators and SYSTEM may enter (a protected DACL, nothing inherited),
// for what an elevated program writes and then reads or runs, held open from
// the moment it exists: nobody can rename or remove it while the handle is
// held, and it is removed when its last handle closes (the end of the
// process included) if it is empty by then. A name that exists already is
// never entered: another one is drawn. Returns the handle and the folder's path; an invalid handle and an empty
// path when no folder could be made (GetLastError tells).
HANDLE CreateHeldPrivateFolder(const std::string& parent, const char* prefix,
                               std::string* folder);

// A second handle to what handle opens, made now. At the end of a process
// its handles close oldest first: a folder's hold renewed after the files
// inside it are open closes after them, when the folder is empty.
HANDLE ReopenAsNewest(HANDLE handle);
#endif

}  // namespace vx
