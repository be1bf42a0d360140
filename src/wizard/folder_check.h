// The checks an install folder must pass before the install starts: its form,
// its drive's type and free space, and whether it can be created.
//
// The decision is a pure function of the folder text and the answers Windows
// gives about its drive, so every drive type and the space threshold can be
// tested from a table; CheckInstallFolder asks Windows for those answers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vx {

// What GetDiskFreeSpaceExA said about the drive root.
struct FreeSpaceAnswer {
  bool succeeded = false;
  uint64_t bytesAvailable = 0;  // free bytes available to the caller
  uint32_t errorCode = 0;       // GetLastError when the call failed
};

// More than this many whole megabytes must be free.
inline constexpr uint64_t kRequiredFreeMegabytes = 32;

// The part of the folder before its first backslash, and one backslash
// ("D:\Apps\VantorexLite" gives "D:\").
std::string DriveRootOf(const std::string& folder);

// The folder names a drive: it holds a colon directly followed by a backslash.
bool HasPathForm(const std::string& folder);

// True when a folder on a drive of this type may be installed to; otherwise
// false with the reason (empty for a type Windows does not define).
bool DriveTypeAccepted(UINT driveType, std::string& reason);

// Bytes counted in whole megabytes (bytes div 1024 div 1024).
uint64_t WholeMegabytes(uint64_t bytes);

// The decision: the five checks in order on the folder text (already
// trimmed), the first failure giving false and its reason. driveType,
// freeSpace and creatable are the answers for that folder; an answer is only
// looked at when every check before it has passed.
bool DecideInstallFolder(const std::string& folder, UINT driveType,
                         const FreeSpaceAnswer& freeSpace, bool creatable, std::string& reason);

// The real check of the folder field's text: trims it, asks Windows about the
// drive, and tries to create the folder (every missing level), removing the
// last level again when it is empty. Levels above it that this made stay.
bool CheckInstallFolder(const std::string& text, std::string& reason);

// The install folder handed to the install: the field's text trimmed, every
// run of backslashes made one, and one trailing backslash removed.
std::string NormalizedInstallFolder(const std::string& text);

// The error box text: the folder, the general complaint and the reason on
// three lines separated by carriage returns.
std::string FolderErrorText(const std::string& folder, const std::string& reason);

}  // namespace vx
