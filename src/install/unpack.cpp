// Extraction of the package resource and unpacking of its items.
#include <unordered_set>
#include <utility>

#include "common/run_log.h"
#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/sha256.h"
#include "common/text.h"
#include "install/install_thread.h"
#include "install/rollback.h"
#include "package/reader.h"

#ifndef VX_SLOW_WORKER_MS
#define VX_SLOW_WORKER_MS 0
#endif

namespace vx {

namespace {

// A test-only setup (tests/e2e) compiles this file again with a delay per
// item, so that a driver can cancel in the middle of the copy; the library
// every shipped setup links has 0.
constexpr DWORD kSlowWorkerMs = VX_SLOW_WORKER_MS;

}  // namespace

// Sets an open file's last-write time (only that one) from a packed DOS local
// date-time: date in the high 16 bits, time in the low 16 bits.
void TVXInstallThread::StampLastWriteTime(HANDLE file, int32_t packedDate) {
  const uint32_t packed = static_cast<uint32_t>(packedDate);
  FILETIME local{};
  FILETIME utc{};
  if (DosDateTimeToFileTime(static_cast<WORD>(packed >> 16), static_cast<WORD>(packed & 0xFFFF),
                            &local) &&
      LocalFileTimeToFileTime(&local, &utc)) {
    SetFileTime(file, nullptr, nullptr, &utc);
  }
}

// Writes all bytes with one call, then dates the file while it is still open
// (a date of 0 or below leaves the time of writing); false when the file
// cannot be created or not every byte was written.
bool TVXInstallThread::WriteWholeFile(const std::string& path, const char* data, DWORD size,
                                      int32_t packedDate) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  if (!WriteFile(file.get(), data, size, &written, nullptr) || written != size) return false;
  if (packedDate > 0) StampLastWriteTime(file.get(), packedDate);
  return true;
}

namespace {

// The system's temporary folder with its trailing backslash, or "c:\temp\"
// when that folder does not exist; empty when neither exists nor can be made.
std::string UsableTempFolder() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetTempPathA(MAX_PATH, buffer);
  std::string folder = (length > 0 && length < MAX_PATH) ? std::string(buffer, length)
                                                         : std::string();
  if (!folder.empty() && FolderExists(folder)) return folder;
  folder = kTempFallbackFolder;
  if (FolderExists(folder)) return folder;
  std::optional<bool> created = CreateFolderPath(folder);
  return created.value_or(false) ? folder : std::string();
}

// The levels of a folder path that do not exist, highest first (a drive
// root is never one). Looked up from the folder upwards; a level in `made`
// (made by this run, in a tree nobody else can change) counts as existing
// without a look-up.
std::vector<std::string> MissingLevels(std::string folder,
                                       const std::unordered_set<std::string>* made = nullptr) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  std::vector<std::string> missing;
  for (std::string level = folder;
       level.size() > 3 && !(made && made->count(level) > 0) && !FolderExists(level);) {
    missing.insert(missing.begin(), level);
    const size_t slash = level.find_last_of('\\');
    if (slash == std::string::npos) break;
    level.resize(slash);
  }
  return missing;
}

// Lists every level about to be made, highest first, before any is made, so
// that a rollback, a recovery and the uninstall program remove each again;
// each is added to `made`.
bool ListLevels(const std::vector<std::string>& levels, InstallJournal* journal,
                std::unordered_set<std::string>* made) {
  for (const std::string& level : levels) {
    if (journal && !journal->FolderMade(level)) return false;
    made->insert(level);
  }
  return true;
}

// The folder without a trailing backslash (a drive root keeps its own).
std::string WithoutTrailingBackslash(std::string folder) {
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

// True when the module records the digest (its "VXPACKSHA256" resource) and
// it is the one given; a module that records none has nothing to vouch for
// its package.
bool MatchesRecordedDigest(HMODULE module, const Sha256Digest& digest) {
  ResourceBytes recorded =
      FindResourceBytes(module, kPackageDigestResourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  return recorded.data && std::string_view(recorded.data, recorded.size) == DigestToHex(digest);
}

}  // namespace

void TVXInstallThread::ExtractPackage(std::string& path) {
  std::string folder = UsableTempFolder();
  HMODULE module = PackageModule ? PackageModule : GetModuleHandleA(nullptr);
  ResourceBytes resource =
      FindResourceBytes(module, kPackageResourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!resource.data) {
    ResultCode = kExtractNoResource;
    return;
  }
  PackageSize = static_cast<int32_t>(resource.size);
  if (PackageSize <= 0 || folder.empty()) {
    ResultCode = kExtractNoFolder;
    return;
  }
  // Between pieces: a pause holds the copy, a cancel ends it.
  const TempPackage::CreateResult created =
      package_.Create(folder, kTempPackageFileName, resource.data, resource.size,
                      [this] { return WaitWhilePaused() && !CancelRequested.load(); });
  if (created == TempPackage::CreateResult::Written) {
    path = package_.Path();
    ResultCode = kInstallOk;
    if (!MatchesRecordedDigest(module, package_.WrittenDigest())) {
      LogLine("extraction: the package does not have the digest the build recorded: damaged");
      package_.Close();
      path.clear();
      ResultCode = kPackageDamaged;
    }
  } else {
    if (created == TempPackage::CreateResult::Stopped) {
      LogLine("extraction: stopped by a cancel; the copy is gone");
    }
    path.clear();
    ResultCode = kExtractWriteFailed;
  }
  // Resource data belongs to the module's image; there is nothing to release.
}

void TVXInstallThread::ParseItemLines(const std::vector<std::string>& lines,
                                      std::vector<TPackItem>& records) {
  records.reserve(records.size() + lines.size());
  for (const std::string& line : lines) {
    try {
      std::optional<std::string_view> text = RecordText(line);
      if (!text) continue;
      TPackItem item("xxx", "xxx");
      item.ParseLine(*text);
      // A record naming a path that cannot be written inside the install
      // folder is kept: the unpack step refuses it, and with it the package,
      // rather than installing the product with a file missing.
      if (item.Status == kItemValid || !IsSafeItemPath(item.Folder, item.FileName)) {
        records.push_back(std::move(item));
      }
    } catch (...) {
      // A line that cannot be handled is dropped like an invalid one.
      LogCaught("unpack: reading an item line, which is dropped", line);
    }
  }
}

bool TVXInstallThread::MoveAsideExisting(const std::string& path, DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;  // cannot be written over
  if (asideFolder_.empty()) {
    // Inside the install folder, so the move is a rename on one volume.
    FileHandle hold(CreateHeldPrivateFolder(InstallFolder, kAsideFolderPrefix, &asideFolder_));
    if (!hold) {
      LogFailure("unpack: making the folder for files moved aside", InstallFolder,
                 GetLastError());
      asideFolder_.clear();
      return false;
    }
    folderHolds_.push_back(std::move(hold));
  }
  // A few hundred to a folder: under Wine making a name in a folder looks
  // through every name already there, so one folder for all the files of
  // a large product would make each move slower than the last. Journaled
  // before its numbered folder is made: a run that dies leaves no folder
  // its journal does not lead to.
  const size_t index = asideCount_++;
  const std::string subfolder = asideFolder_ + "\\" + std::to_string(index / kAsidesPerFolder);
  const std::string aside = subfolder + "\\" + std::to_string(index);
  if (Journal && !Journal->FileMovedAside(path, aside)) return false;
  if (index % kAsidesPerFolder == 0 && !CreateDirectoryA(subfolder.c_str(), nullptr)) {
    LogFailure("unpack: making a folder for files moved aside", subfolder, GetLastError());
    return false;
  }
  if (!MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
    LogFailure("unpack: moving an existing file aside", path, GetLastError());
    return false;
  }
  return true;
}

int32_t TVXInstallThread::MakeItemFolder(const std::string& folder, bool inHeldTree) {
  // Outside a tree this run holds, a user may have turned any level into a
  // link since the last item: every level is looked at. Inside one, only
  // administrators can add to it, and the held levels pin those above: the
  // start's check of the install folder stands for every item folder.
  if (!inHeldTree && PathCrossesLink(folder)) {
    LogLine("unpack: not written through a link: %s", folder.c_str());
    return kUnpackCannotWrite;
  }
  // In the held tree the levels this run made are not looked up again:
  // under Wine each look-up costs about 40 us, and a large product has
  // thousands of folders.
  const std::vector<std::string> missing =
      MissingLevels(folder, inHeldTree ? &madeFolders_ : nullptr);
  if (missing.empty()) return kInstallOk;
  if (!ListLevels(missing, Journal, &madeFolders_)) return kUnpackItemFolderNotCreated;
  for (const std::string& level : missing) {
    // Another program may have made it meanwhile: what counts is that it exists.
    if (!CreateDirectoryA(level.c_str(), nullptr) && !FolderExists(level)) {
      return kUnpackItemFolderNotCreated;
    }
  }
  return kInstallOk;
}

int32_t TVXInstallThread::WriteItemFile(const TPackItem& item, bool keepBytes, bool mustBeNew) {
  FileHandle file(CreateFileA(item.FileName.c_str(), GENERIC_WRITE, 0, nullptr,
                              mustBeNew ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) {
    const DWORD error = GetLastError();  // the end of the unpack logs it
    // Something stands at the name after all, in a folder this run made: it
    // is not the run's, and a rollback must leave it.
    if (mustBeNew && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && Journal) {
      Journal->FileNotMade(item.FileName);
    }
    SetLastError(error);
    return kUnpackCannotWrite;
  }
  if (keepBytes) uninstallProgram_.clear();
  const uint64_t offset = static_cast<uint64_t>(item.Offset);
  const size_t size = static_cast<size_t>(item.Size);
  // An item that fits the read window, which is nearly every one, is one
  // write (and most often no read: the window holds the items after it
  // too); a larger one goes a window at a time.
  for (size_t done = 0; done < size;) {
    const std::string_view piece = package_.Read(offset + done, size - done);
    if (piece.empty()) {
      LogFailure("unpack: reading the package copy", item.FileName, GetLastError());
      return kUnpackCannotRead;
    }
    if (keepBytes) uninstallProgram_.append(piece);
    DWORD written = 0;
    if (!WriteFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &written,
                   nullptr) ||
        written != piece.size()) {
      return kUnpackCannotWrite;
    }
    done += piece.size();
  }
  if (item.FileDate > 0) StampLastWriteTime(file.get(), item.FileDate);
  return kInstallOk;
}

UnpackOutcome TVXInstallThread::EndUnpack(bool abandoned, int32_t itemIndex) {
  // Read before anything else is called: it belongs to the failing call.
  const DWORD error = GetLastError();
  // The run's folders are filled: a rollback must be able to remove them.
  folderHolds_.clear();
  if (abandoned) return UnpackOutcome::Abandoned;
  if (ResultCode != kInstallOk) {
    const std::string item = static_cast<size_t>(itemIndex) < Items.size()
                                 ? Items[itemIndex].Folder + " " + Items[itemIndex].FileName
                                 : std::string();
    LogLine("unpack: ended with %d at item %d %s (last Windows error %lu)", ResultCode, itemIndex,
            item.c_str(), static_cast<unsigned long>(error));
  }
  // After a cancel the window expects the end of the run, not an error.
  if (CancelRequested.load()) return UnpackOutcome::Cancelled;
  if (ResultCode == kInstallOk) return UnpackOutcome::Completed;
  Post(WM_INST_ERROR, static_cast<WPARAM>(static_cast<LONG_PTR>(ResultCode)), itemIndex);
  return UnpackOutcome::Failed;
}

UnpackOutcome TVXInstallThread::UnpackPackage(const std::string& packagePath,
                                              const std::string& installFolder) {
  int32_t currentItem = 0;
  // Every way out: the cancel, the error message, or success.
  auto end = [&](bool abandoned = false) { return EndUnpack(abandoned, currentItem); };

  // The package this run extracted is read through the handle kept since
  // its creation; any other is opened here, once.
  const bool heldAlready = package_.IsOpen() && package_.Path() == packagePath;
  ResultCode = kUnpackNoPackage;
  if (!heldAlready && !FileExists(packagePath)) return end();
  ResultCode = kUnpackFolderTooShort;
  if (NormalizedInstallFolder(installFolder).size() < 2) return end();

  // InstallFolder came normalized with the request: no trailing backslash.
  ResultCode = kUnpackFolderNotCreated;
  bool installFolderHeld = false;  // made by this run, below, and held
  // The folder must be the one the folder page accepted: nothing written
  // here may land somewhere else, or in a folder somebody else made.
  if (PathCrossesLink(InstallFolder)) {
    ResultCode = kUnpackFolderNotTrusted;
    LogLine("unpack: the install folder is a link or lies inside one: %s", InstallFolder.c_str());
    return end();
  }
  if (FolderExists(FolderPath(InstallFolder))) {
    if (Request.installFolderMustBeNew) {
      ResultCode = kUnpackFolderNotTrusted;
      LogLine("unpack: the install folder appeared after the folder check: %s",
              InstallFolder.c_str());
      return end();
    }
  } else {
    // Every level this run makes, those above the install folder included,
    // is listed first. Made level by level with the rights of Program Files
    // and held while the items go in; a level someone makes meanwhile is
    // never entered.
    if (!ListLevels(MissingLevels(InstallFolder), Journal, &madeFolders_)) return end();
    if (!CreateHeldFolderPath(InstallFolder, kProgramFilesRights, folderHolds_, nullptr)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) ResultCode = kUnpackFolderNotTrusted;
      return end();
    }
    installFolderHeld = true;
  }
  const std::string uninstallProgram = UninstallProgramIn(InstallFolder);

  ResultCode = kUnpackListTooShort;
  Post(WM_INST_STEP, 0, kStepExtracting);
  if (!heldAlready && !package_.OpenExisting(packagePath)) {
    ResultCode = kUnpackCannotOpen;
    return end();
  }
  ItemLines.clear();
  const uint64_t packageSize = package_.Size();
  // The reader checks the list's bounds before it reads: a read that fails
  // is the copy that cannot be read, not a list too short.
  bool unreadable = false;
  ReadItemListThrough(
      packageSize,
      [this, &unreadable](uint64_t offset, size_t size, char* out) {
        unreadable = !package_.CopyOut(offset, size, out);
        return !unreadable;
      },
      &ItemLines);
  if (unreadable) {
    ResultCode = kUnpackPackageUnreadable;
    LogFailure("unpack: reading the package copy", package_.Path(), GetLastError());
    return end();
  }
  if (ItemLines.size() < 2) return end();

  ResultCode = kUnpackTooFewRecords;
  ParseItemLines(ItemLines, Items);
  // The records are all that is read from here on: the lines' memory goes,
  // so a product of many items holds its list once, not twice.
  std::vector<std::string>().swap(ItemLines);
  if (Items.size() < 2) return end();

  ResultCode = kUnpackCannotOpen;
  Post(WM_INST_STEP, 0, kStepCopyingFiles);
  int32_t bytesWritten = 0;
  std::string readyFolder;  // the last item's folder, which exists
  bool readyFolderIsNew = false;  // made by this run

  for (size_t index = 0; index < Items.size(); ++index) {
    currentItem = static_cast<int32_t>(index);
    if (!PassCheckPoint(CheckPoint::BeforeItem, currentItem)) return end(true);
    if (kSlowWorkerMs > 0) Sleep(kSlowWorkerMs);
    TPackItem& item = Items[index];
    if (item.Status != kItemValid) {  // nothing is made for it, outside or inside
      ResultCode = kUnpackCannotWrite;
      return end();
    }
    ResultCode = kUnpackCannotRead;

    std::string folder = InstallFolder + (item.Folder.empty() ? std::string("\\") : item.Folder);
    // The item before made sure of its folder, and items of one folder come
    // one after another: most items need no look-up.
    if (folder != readyFolder) {
      ResultCode = MakeItemFolder(folder, installFolderHeld);
      if (ResultCode != kInstallOk) return end();
      ResultCode = kUnpackCannotRead;
      readyFolderIsNew = madeFolders_.count(WithoutTrailingBackslash(folder)) > 0;
    }
    readyFolder = folder;
    if (folder.back() != '\\') folder += '\\';
    // The window may read this name as soon as the item's progress arrives.
    item.FileName = folder + item.FileName;

    // An item's bytes must lie inside the package.
    if (item.Size < 0 || item.Offset < 0 ||
        static_cast<uint64_t>(item.Offset) + static_cast<uint64_t>(item.Size) > packageSize) {
      return end();
    }

    // In a folder this run made, nothing stands at the item's name: the file
    // is made new, without a look (under Wine a look-up of a name not there
    // costs about as much as a fifth of making a small file), and should
    // anything stand there after all, nothing is written (-333). Elsewhere
    // what stands there is looked at once: a link would take the bytes
    // elsewhere, and a file is kept until the run is over: moved aside, it
    // comes back if the run is undone.
    if (!readyFolderIsNew) {
      const DWORD standing = GetFileAttributesA(item.FileName.c_str());
      if (IsLink(item.FileName, standing)) {
        ResultCode = kUnpackCannotWrite;
        LogLine("unpack: not written through a link: %s", item.FileName.c_str());
        return end();
      }
      if (!MoveAsideExisting(item.FileName, standing)) {
        ResultCode = kUnpackCannotWrite;
        return end();
      }
    }
    // Listed before its bytes go out, so a failed write is removed too.
    if (Journal && !Journal->FileWritten(item.FileName)) {
      ResultCode = kUnpackCannotWrite;
      return end();
    }
    // The uninstall program goes on into the Windows folder: from these
    // bytes, never from the file anybody could change once it is written.
    const bool isUninstallProgram =
        _stricmp(item.FileName.c_str(), uninstallProgram.c_str()) == 0;
    if (isUninstallProgram) uninstallProgramDate_ = item.FileDate;
    // Written from the package copy's read window and dated through the
    // handle that wrote it, without opening every file a second time.
    ResultCode = WriteItemFile(item, isUninstallProgram, readyFolderIsNew);
    if (ResultCode == kInstallOk) bytesWritten += item.Size;

    if (!PassCheckPoint(CheckPoint::AfterItem, currentItem)) return end(true);
    if (CancelRequested.load() || ResultCode != kInstallOk) break;
    Post(WM_INST_PROGRESS, static_cast<WPARAM>(static_cast<uint32_t>(bytesWritten)), currentItem);
  }
  return end();
}

}  // namespace vx
