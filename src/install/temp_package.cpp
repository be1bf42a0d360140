#include "install/temp_package.h"

#include <algorithm>

#include "common/files.h"

namespace vx {

namespace {
constexpr char kPrivateFolderPrefix[] = "vxsetup-";
// Pieces small enough to be hashed while they are still in the processor's
// cache, large enough that the writes stay few.
constexpr DWORD kWritePieceBytes = 256 * 1024;

// Writes every byte through the handle, hashing each piece just before it is
// written and asking keepGoing between pieces.
TempPackage::CreateResult WriteHashed(HANDLE file, const char* data, DWORD size,
                                      const TempPackage::KeepGoing& keepGoing,
                                      Sha256Digest* digest) {
  Sha256 hash;
  for (DWORD done = 0; done < size;) {
    if (done > 0 && keepGoing && !keepGoing()) return TempPackage::CreateResult::Stopped;
    const DWORD piece = std::min(kWritePieceBytes, size - done);
    hash.Update(data + done, piece);
    DWORD written = 0;
    if (!WriteFile(file, data + done, piece, &written, nullptr) || written != piece) {
      return TempPackage::CreateResult::Failed;
    }
    done += piece;
  }
  *digest = hash.Finish();
  return TempPackage::CreateResult::Written;
}

// The granularity a view's start must keep.
uint64_t AllocationGranularity() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwAllocationGranularity ? info.dwAllocationGranularity : 64 * 1024;
}
}

TempPackage::CreateResult TempPackage::Create(const std::string& parent, const char* fileName,
                                              const char* data, DWORD size,
                                              const KeepGoing& keepGoing) {
  Close();
  folderHold_.reset(CreateHeldPrivateFolder(parent, kPrivateFolderPrefix, &folder_));
  if (!folderHold_) return CreateResult::Failed;
  path_ = folder_ + "\\" + fileName;
  // Delete on close: the copy goes with the handle, however the run ends.
  file_.reset(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                          nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  const CreateResult written = file_ ? WriteHashed(file_.get(), data, size, keepGoing,
                                                   &writtenDigest_)
                                    : CreateResult::Failed;
  if (written != CreateResult::Written) {
    Close();
    return written;
  }
  size_ = size;
  // The folder's hold made newer than the file's handle, so that at the end
  // of the process the file goes first and the folder, empty, after it.
  FileHandle renewed(ReopenAsNewest(folderHold_.get()));
  if (renewed) folderHold_ = std::move(renewed);
  return CreateResult::Written;
}

bool TempPackage::OpenExisting(const std::string& path) {
  Close();
  file_.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file_ || !GetFileSizeEx(file_.get(), &size) || size.QuadPart > INT32_MAX) {
    Close();
    return false;
  }
  path_ = path;
  size_ = static_cast<uint64_t>(size.QuadPart);
  return true;
}

std::string_view TempPackage::Read(uint64_t offset, size_t wanted) {
  if (!file_ || wanted == 0 || offset >= size_) {
    SetLastError(ERROR_HANDLE_EOF);
    return std::string_view();
  }
  wanted = static_cast<size_t>(std::min<uint64_t>(wanted, size_ - offset));
  const bool inView = view_ && offset >= viewStart_ && offset < viewStart_ + viewSize_;
  const bool wholeInView = inView && offset + wanted <= viewStart_ + viewSize_;
  static const uint64_t granularity = AllocationGranularity();
  const uint64_t start = offset - offset % granularity;
  // Moved when the bytes are not in the view, or only partly while a view
  // from their start would hold them all.
  if (!inView || (!wholeInView && offset - start + wanted <= kViewBytes)) {
    view_.reset();
    viewSize_ = 0;
    if (!mapping_) {
      mapping_.reset(CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      if (!mapping_) return std::string_view();
    }
    const size_t size = static_cast<size_t>(std::min<uint64_t>(kViewBytes, size_ - start));
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                              static_cast<DWORD>(start), size));
    if (!view_) return std::string_view();
    viewStart_ = start;
    viewSize_ = size;
  }
  const size_t inside = static_cast<size_t>(offset - viewStart_);
  return std::string_view(static_cast<const char*>(view_.get()) + inside,
                          std::min(wanted, viewSize_ - inside));
}

bool TempPackage::CopyOut(uint64_t offset, size_t size, char* out) {
  for (size_t done = 0; done < size;) {
    const std::string_view piece = Read(offset + done, size - done);
    if (piece.empty()) return false;
    std::copy(piece.begin(), piece.end(), out + done);
    done += piece.size();
  }
  return true;
}

void TempPackage::Close() {
  view_.reset();
  viewStart_ = 0;
  viewSize_ = 0;
  mapping_.reset();
  file_.reset();
  folderHold_.reset();  // the folder goes with its last handle, empty by then
  folder_.clear();
  path_.clear();
  size_ = 0;
}

}  // namespace vx
