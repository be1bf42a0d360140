#include "wizard/folder_check.h"

#include "common/files.h"
#include "common/product.h"
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

bool DecideInstallFolder(const std::string& folder, UINT driveType,
                         const FreeSpaceAnswer& freeSpace, bool creatable, std::string& reason) {
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
  if (megabytes <= kRequiredFreeMegabytes) {
    // The figure is at most 32 here, so it fits the text's %d.
    reason = FormatText(text::kNotEnoughSpaceFormat, root.c_str(), static_cast<int>(megabytes));
    return false;
  }
  if (!creatable) {
    reason = FormatText(text::kCannotCreateFormat, folder.c_str());
    return false;
  }
  return true;
}

namespace {

FreeSpaceAnswer AskFreeSpace(const std::string& root) {
  FreeSpaceAnswer answer;
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) {
    answer.succeeded = true;
    answer.bytesAvailable = available.QuadPart;
  } else {
    answer.errorCode = GetLastError();
  }
  return answer;
}

// Creates every missing level; when that worked, the last level is removed
// again, which only succeeds for an empty folder (the install creates it
// anew). Failing to remove it is of no concern.
bool ProbeCreatable(const std::string& folder) {
  const bool created = CreateFolderPath(folder).value_or(false);
  if (created) RemoveDirectoryA(folder.c_str());
  return created;
}

}  // namespace

bool CheckInstallFolder(const std::string& text, std::string& reason) {
  const std::string folder = TrimBlanks(text);
  // Windows is only asked what the decision will look at: in particular no
  // folder is created unless every other check has passed.
  UINT driveType = DRIVE_UNKNOWN;
  FreeSpaceAnswer freeSpace;
  bool creatable = false;
  std::string ignored;
  if (HasPathForm(folder)) {
    const std::string root = DriveRootOf(folder);
    driveType = GetDriveTypeA(root.c_str());
    if (DriveTypeAccepted(driveType, ignored)) {
      freeSpace = AskFreeSpace(root);
      if (freeSpace.succeeded &&
          WholeMegabytes(freeSpace.bytesAvailable) > kRequiredFreeMegabytes) {
        creatable = ProbeCreatable(folder);
      }
    }
  }
  return DecideInstallFolder(folder, driveType, freeSpace, creatable, reason);
}

std::string NormalizedInstallFolder(const std::string& text) {
  std::string folder = MergeBackslashes(TrimBlanks(text));
  if (RightChars(folder, 1) == "\\") folder.pop_back();
  return folder;
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
