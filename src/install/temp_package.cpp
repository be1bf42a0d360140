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
// written; false when a write fails or falls short.
bool WriteHashed(HANDLE file, const char* data, DWORD size, Sha256Digest* digest) {
  Sha256 hash;
  for (DWORD done = 0; done < size;) {
    const DWORD piece = std::min(kWritePieceBytes, size - done);
    hash.Update(data + done, piece);
    DWORD written = 0;
    if (!WriteFile(file, data + done, piece, &written, nullptr) || written != piece) return false;
    done += piece;
  }
  *digest = hash.Finish();
  return true;
}
}

bool TempPackage::Create(const std::string& parent, const char* fileName, const char* data,
                         DWORD size) {
  Close();
  folderHold_.reset(CreateHeldPrivateFolder(parent, kPrivateFolderPrefix, &folder_));
  if (!folderHold_) return false;
  path_ = folder_ + "\\" + fileName;
  // Delete on close: the copy goes with the handle, however the run ends.
  file_.reset(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                          nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file_ || !WriteHashed(file_.get(), data, size, &writtenDigest_)) {
    Close();
    return false;
  }
  size_ = size;
  // The folder's hold made newer than the file's handle, so that at the end
  // of the process the file goes first and the folder, empty, after it.
  FileHandle renewed(ReopenAsNewest(folderHold_.get()));
  if (renewed) folderHold_ = std::move(renewed);
  return true;
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
  size_ = static_cast<size_t>(size.QuadPart);
  return true;
}

std::string_view TempPackage::Bytes() {
  if (!file_ || size_ == 0) return std::string_view();
  if (!view_) {
    mapping_.reset(CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) return std::string_view();
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) return std::string_view();
  }
  return std::string_view(static_cast<const char*>(view_.get()), size_);
}

void TempPackage::Close() {
  view_.reset();
  mapping_.reset();
  file_.reset();
  folderHold_.reset();  // the folder goes with its last handle, empty by then
  folder_.clear();
  path_.clear();
  size_ = 0;
}

}  // namespace vx
