#include "wizard/folder_check.h"

#include <algorithm>
#include <cstdint>

#include "package/format.h"
#include "package/reader.h"

#include <aclapi.h>
#include <shlobj.h>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"
#include "common/system.h"
#include "common/text.h"
#include "wizard/format.h"

namespace vx {

std::string DriveRootOf(const std::string& folder) {
  return ExtractField(folder, "\\", 1) + "\\";
}

bool HasPathForm(const std::string& folder) { return folder.find(":\\") != std::string::npos; }

bool DriveTypeAccepted(UINT driveType, std::string& reason) {
  switch (driveType) {
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
    case DRIVE_REMOTE:
    case DRIVE_RAMDISK:
      return true;
    case DRIVE_UNKNOWN:
      reason = text::kDriveTypeUnknown;
      return false;
    case DRIVE_NO_ROOT_DIR:
      reason = text::kNoRootDirectory;
      return false;
    case DRIVE_CDROM:
      reason = text::kCdromDrive;
      return false;
    default:
      reason.clear();
      return false;
  }
}

uint64_t WholeMegabytes(uint64_t bytes) { return bytes / 1024 / 1024; }

InstallFootprint FootprintOfPackage(std::string_view package) {
  InstallFootprint footprint;
  for (const std::string& line : ItemListOf(package)) {
    std::optional<std::string_view> record = RecordText(line);
    if (!record) continue;
    TPackItem item("", "");
    item.ParseLine(*record);
    if (item.Status != kItemValid || item.Size < 0) continue;
    footprint.itemBytes.push_back(static_cast<uint64_t>(item.Size));
    const std::string& folder = item.Folder == "\\" ? std::string() : item.Folder;
    footprint.longestItemPath =
        std::max(footprint.longestItemPath, folder.size() + 1 + item.FileName.size());
  }
  if (!footprint.itemBytes.empty()) footprint.packageBytes = package.size();
  return footprint;
}

uint64_t BytesNeeded(const InstallFootprint& footprint, uint64_t clusterBytes,
                     bool tempOnSameDrive) {
  const uint64_t cluster = clusterBytes > 0 ? clusterBytes : 1;
  auto onDisk = [cluster](uint64_t bytes) { return (bytes + cluster - 1) / cluster * cluster; };
  uint64_t needed = 0;
  for (uint64_t bytes : footprint.itemBytes) needed += onDisk(bytes);
  if (tempOnSameDrive) needed += onDisk(footprint.packageBytes);
  return needed;
}

namespace {

// The groups a standard user belongs to, or that stand for anybody.
bool IsStandardUsersSid(PSID sid) {
  static constexpr WELL_KNOWN_SID_TYPE kGroups[] = {
      WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid,
      WinInteractiveSid, WinBuiltinGuestsSid, WinAnonymousSid,
  };
  for (WELL_KNOWN_SID_TYPE group : kGroups) {
    if (IsWellKnownSid(sid, group)) return true;
  }
  return false;
}

// Rights that let the holder change a folder or what lies in it.
constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                        FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE |
                                        WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

}  // namespace

bool AclLetsUsersChange(const ACL* dacl) {
  if (!dacl) return true;
  ACL_SIZE_INFORMATION size{};
  if (!GetAclInformation(const_cast<ACL*>(dacl), &size, sizeof size, AclSizeInformation)) {
    return true;  // unreadable rights are not trusted
  }
  for (DWORD index = 0; index < size.AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    // An entry only for the folder's files or subfolders reaches what the
    // setup writes there: it counts as much as one for the folder itself.
    if ((allowed->Mask & kChangingRights) != 0 && IsStandardUsersSid(sid)) return true;
  }
  return false;
}

bool DecideInstallFolder(const std::string& folder, UINT driveType,
                         const FreeSpaceAnswer& freeSpace, bool creatable, std::string& reason,
                         size_t longestItemPath, FolderTrust trust) {
  if (!HasPathForm(folder)) {
    reason = FormatText(text::kInvalidPathFormat, folder.c_str());
    return false;
  }
  if (!DriveTypeAccepted(driveType, reason)) return false;
  const std::string root = DriveRootOf(folder);
  if (!freeSpace.succeeded) {
    reason = FormatText(text::kInvalidDriveFormat, root.c_str(),
                        static_cast<int>(freeSpace.errorCode));
    return false;
  }
  const uint64_t megabytes = WholeMegabytes(freeSpace.bytesAvailable);
  if (megabytes <= kRequiredFreeMegabytes || freeSpace.bytesAvailable < freeSpace.bytesNeeded) {
    reason = FormatText(text::kNotEnoughSpaceFormat, root.c_str(),
                        static_cast<int>(std::min<uint64_t>(megabytes, INT32_MAX)));
    return false;
  }
  // The install writes every item below the folder as it will be handed on
  // (no trailing backslash).
  const size_t longestPath = NormalizedInstallFolder(folder).size() + longestItemPath;
  if (longestItemPath > 0 && longestPath > kLongestWritablePath) {
    reason = FormatText(text::kFolderTooLongFormat, static_cast<int>(longestPath),
                        static_cast<int>(kLongestWritablePath));
    return false;
  }
  if (trust == FolderTrust::Link) {
    reason = text::kFolderIsLink;
    return false;
  }
  if (trust == FolderTrust::UsersCanChange) {
    reason = text::kFolderUsersCanChange;
    return false;
  }
  if (!creatable) {
    reason = FormatText(text::kCannotCreateFormat, folder.c_str());
    return false;
  }
  return true;
}

namespace {

FreeSpaceAnswer AskFreeSpace(const std::string& root, const InstallFootprint& footprint) {
  FreeSpaceAnswer answer;
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) {
    answer.succeeded = true;
    answer.bytesAvailable = available.QuadPart;
  } else {
    answer.errorCode = GetLastError();
    return answer;
  }
  if (footprint.itemBytes.empty()) return answer;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  const uint64_t cluster =
      GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)
          ? uint64_t{sectorsPerCluster} * bytesPerSector
          : 4096;  // the common size, when the drive does not say
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  const bool tempHere = length > 0 && length < sizeof temp &&
                        _stricmp(DriveRootOf(std::string(temp, length)).c_str(), root.c_str()) == 0;
  answer.bytesNeeded = BytesNeeded(footprint, cluster, tempHere);
  return answer;
}

// Creates every missing level with the rights of a folder the setup makes;
// when that worked, the last level is removed again, which only succeeds for
// an empty folder (the install creates it anew). Failing to remove it is of
// no concern. The levels above it stay, with those rights: nobody but
// administrators can rename them or put a link in their place.
bool ProbeCreatable(const std::string& folder) {
  std::vector<FileHandle> holds;
  const bool created =
      CreateHeldFolderPath(NormalizedInstallFolder(folder), kProgramFilesRights, holds, nullptr);
  holds.clear();
  if (!created) {
    LogFailure("creating the install folder to try it", folder, GetLastError());
  } else if (!RemoveDirectoryA(folder.c_str())) {
    LogFailure("removing the tried install folder (one with content stays)", folder,
               GetLastError());
  }
  return created;
}

// True when the folder lies in the Program Files folder this setup offers,
// whose rights Windows sets. (Any other folder, the other Program Files of a
// 64-bit Windows included, is judged by its rights.)
bool InsideProgramFiles(const std::string& folder) {
  const std::string normalized = NormalizedInstallFolder(folder);
  const std::string programFiles = GetSpecialFolder(CSIDL_PROGRAM_FILES);
  if (programFiles.empty()) return false;
  const std::string base = programFiles.back() == '\\' ? programFiles : programFiles + "\\";
  return normalized.size() >= base.size() &&
         _strnicmp(normalized.c_str(), base.c_str(), base.size()) == 0;
}

FolderTrust AskFolderTrust(const std::string& folder) {
  const std::string normalized = NormalizedInstallFolder(folder);
  if (PathCrossesLink(normalized)) return FolderTrust::Link;
  if (!FolderExists(FolderPath(normalized)) || InsideProgramFiles(normalized)) {
    return FolderTrust::Trusted;
  }
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD rc = GetNamedSecurityInfoA(FolderPath(normalized).c_str(), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                         nullptr, &descriptor);
  LocalMem owned(descriptor);
  if (rc != ERROR_SUCCESS) {
    LogFailure("reading the rights of the install folder", normalized, rc);
    return FolderTrust::UsersCanChange;  // rights nobody can read are not trusted
  }
  return AclLetsUsersChange(dacl) ? FolderTrust::UsersCanChange : FolderTrust::Trusted;
}

}  // namespace

bool CheckInstallFolder(const std::string& text, std::string& reason,
                        const InstallFootprint& footprint, FolderCheckFacts* facts) {
  const std::string folder = TrimBlanks(text);
  if (facts) facts->folder = NormalizedInstallFolder(folder);
  // Windows is only asked what the decision will look at: in particular no
  // folder is created unless every other check has passed.
  UINT driveType = DRIVE_UNKNOWN;
  FreeSpaceAnswer freeSpace;
  FolderTrust trust = FolderTrust::Trusted;
  bool creatable = false;
  std::string ignored;
  if (HasPathForm(folder)) {
    const std::string root = DriveRootOf(folder);
    driveType = GetDriveTypeA(root.c_str());
    if (DriveTypeAccepted(driveType, ignored)) {
      freeSpace = AskFreeSpace(root, footprint);
      std::string refusal;
      if (DecideInstallFolder(folder, driveType, freeSpace, true, refusal,
                              footprint.longestItemPath)) {
        trust = AskFolderTrust(folder);
        if (facts) facts->existed = FolderExists(FolderPath(NormalizedInstallFolder(folder)));
        // Created only when every check before creatability passes.
        if (trust == FolderTrust::Trusted) creatable = ProbeCreatable(folder);
      }
    }
  }
  return DecideInstallFolder(folder, driveType, freeSpace, creatable, reason,
                             footprint.longestItemPath, trust);
}

std::string FolderErrorText(const std::string& folder, const std::string& reason) {
  std::string result = text::kFolderErrorStart;
  result += folder;
  result += '\r';
  result += text::kFolderErrorMiddle;
  result += '\r';
  result += reason;
  return result;
}

}  // namespace vx
