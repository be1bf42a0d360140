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
#include <string_view>
#include <vector>

namespace vx {

// What GetDiskFreeSpaceExA said about the drive root.
struct FreeSpaceAnswer {
  bool succeeded = false;
  uint64_t bytesAvailable = 0;  // free bytes available to the caller
  uint32_t errorCode = 0;       // GetLastError when the call failed
  uint64_t bytesNeeded = 0;     // what the install takes there (BytesNeeded)
};

// More than this many whole megabytes must be free.
inline constexpr uint64_t kRequiredFreeMegabytes = 32;

// What the install writes, read once from the package: the item sizes, the
// package itself (its temporary copy) and the longest item path below the
// install folder ("\Folder\name"). Empty when there is no package to read.
struct InstallFootprint {
  std::vector<uint64_t> itemBytes;
  uint64_t packageBytes = 0;
  size_t longestItemPath = 0;
};
InstallFootprint FootprintOfPackage(std::string_view package);

// Bytes the install takes on a drive with clusters of this size: every item
// rounded up to whole clusters, and the package copy too when the temporary
// folder lies on the same drive.
uint64_t BytesNeeded(const InstallFootprint& footprint, uint64_t clusterBytes,
                     bool tempOnSameDrive);

// The longest full path the setup writes (CreateFileA without the long-path
// prefix: MAX_PATH including the terminating zero).
inline constexpr size_t kLongestWritablePath = MAX_PATH - 1;

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

// Whether the elevated setup may write into a folder: what stands at its
// path (or at a level above it) must be what the path says, and nobody but
// administrators may change it.
enum class FolderTrust {
  Trusted,         // a new folder, one inside Program Files, or one only administrators change
  Link,            // the folder, or an existing level above it, is a link
  UsersCanChange,  // an existing folder whose rights let standard users change it
};

// True when the folder's rights (its DACL; null: no DACL, everyone may do
// anything) let a standard user change what lies in it: an allowing entry
// for Everyone, Authenticated Users, Users, Interactive, Guests or Anonymous
// with a right to write, add, delete or change the rights, on the folder
// itself or passed on to what is made in it. Owner rights are not looked
// at: an existing folder's owner is whoever made it, and what counts is
// what the entries grant.
bool AclLetsUsersChange(const ACL* dacl);

// The decision: the checks in order on the folder text (already trimmed),
// the first failure giving false and its reason: form, drive type, drive
// query, free space (more than 32 MB and at least what the install takes),
// path length (the folder and the longest item path), trust and
// creatability. driveType, freeSpace, trust and creatable are the answers
// for that folder; an answer is only looked at when every check before it
// has passed.
bool DecideInstallFolder(const std::string& folder, UINT driveType,
                         const FreeSpaceAnswer& freeSpace, bool creatable, std::string& reason,
                         size_t longestItemPath = 0, FolderTrust trust = FolderTrust::Trusted);

// What the real check found besides its verdict.
struct FolderCheckFacts {
  // The folder as the install gets it (NormalizedInstallFolder).
  std::string folder;
  bool existed = false;  // the folder was there before the check tried to make it
};

// The real check of the folder field's text: trims it, asks Windows about the
// drive (free space, cluster size, where the temporary folder lies), whether
// the folder or a level above it is a link and, for an existing folder
// outside Program Files, who may change it; then tries to create the folder
// (every missing level), removing the last level again when it is empty.
// Levels above it that this made stay.
bool CheckInstallFolder(const std::string& text, std::string& reason,
                        const InstallFootprint& footprint = {}, FolderCheckFacts* facts = nullptr);

// The error box text: the folder, the general complaint and the reason on
// three lines separated by carriage returns.
std::string FolderErrorText(const std::string& folder, const std::string& reason);

}  // namespace vx
