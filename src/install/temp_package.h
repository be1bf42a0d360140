// The package's temporary copy, which the install run unpacks from.
//
// The setup runs elevated while the temporary folder belongs to the user, so
// the copy must not be swapped or changed between its writing and its last
// read: it is written into a folder of its own with rights for Administrators
// and SYSTEM only, through a handle that is kept from creation to the end of
// the unpacking and that shares the file for reading only. Every read goes
// through that handle (a read-only mapping of it); the name is never opened
// again. Closing the handle removes the file and then its folder, and so does
// the end of the process.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/handles.h"
#include "common/sha256.h"

namespace vx {

class TempPackage {
 public:
  TempPackage() = default;
  ~TempPackage() { Close(); }
  TempPackage(const TempPackage&) = delete;
  TempPackage& operator=(const TempPackage&) = delete;

  // Writes the bytes to "<parent>\<private folder>\<fileName>" and keeps the
  // file open. False when the folder or the file cannot be made or written;
  // nothing stays behind then. The SHA-256 of the bytes is taken piece by
  // piece as each piece is written (WrittenDigest), so the package is read
  // once for both.
  bool Create(const std::string& parent, const char* fileName, const char* data, DWORD size);
  // Opens a package file that exists already, for reading, shared for
  // reading only (no writer, no rename or delete while it is held). It is
  // left on disk when closed.
  bool OpenExisting(const std::string& path);

  bool IsOpen() const { return static_cast<bool>(file_); }
  const std::string& Path() const { return path_; }
  // The digest of the bytes the last Create wrote.
  const Sha256Digest& WrittenDigest() const { return writtenDigest_; }
  // The whole package, mapped read-only through the held handle; empty when
  // nothing is open or it cannot be mapped (an empty file included).
  std::string_view Bytes();
  // Unmaps and closes; a created copy and its folder are gone afterwards.
  void Close();

 private:
  std::string path_;
  std::string folder_;     // the private folder of a created copy
  FileHandle file_;
  FileHandle folderHold_;  // removes the private folder when closed
  KernelHandle mapping_;
  MappedView view_;
  size_t size_ = 0;
  Sha256Digest writtenDigest_{};
};

}  // namespace vx
