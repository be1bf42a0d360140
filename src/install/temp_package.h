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
//
// The copy is read into one buffer of kWindowBytes, refilled as the reads
// move along, so that the memory and address space a run needs do not grow
// with the package (a package of 1.5 GB in a 32-bit process). Reads, not a
// mapped view: Wine writes a file from ordinary memory several times faster
// than from a view of another file (measured: 1.3 GB in 64 KB items, 0.35 s
// against 1.4 s).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/handles.h"
#include "common/sha256.h"

namespace vx {

class TempPackage {
 public:
  // The size of the buffer the copy is read through.
  static constexpr size_t kWindowBytes = 4 * 1024 * 1024;
  // Asked between the pieces of a copy being written: false stops it.
  using KeepGoing = std::function<bool()>;
  enum class CreateResult { Written, Stopped, Failed };

  TempPackage() = default;
  ~TempPackage() { Close(); }
  TempPackage(const TempPackage&) = delete;
  TempPackage& operator=(const TempPackage&) = delete;

  // Writes the bytes to "<parent>\<private folder>\<fileName>" and keeps the
  // file open. Failed when the folder or the file cannot be made or written,
  // Stopped when keepGoing (asked between pieces of a few hundred KB) said
  // no; nothing stays behind then. The SHA-256 of the bytes
  // (WrittenDigest) is taken by a second thread while they are written.
  CreateResult Create(const std::string& parent, const char* fileName, const char* data,
                      DWORD size, const KeepGoing& keepGoing = nullptr);
  // Opens a package file that exists already, for reading, shared for
  // reading only (no writer, no rename or delete while it is held). It is
  // left on disk when closed.
  bool OpenExisting(const std::string& path);

  bool IsOpen() const { return static_cast<bool>(file_); }
  const std::string& Path() const { return path_; }
  // The digest of the bytes the last Create wrote.
  const Sha256Digest& WrittenDigest() const { return writtenDigest_; }
  uint64_t Size() const { return size_; }
  // Up to `wanted` bytes of the package from `offset`, through the held
  // handle: all of them when they fit the window (it is refilled from them
  // when needed), else those up to the window's end. Empty when nothing is
  // open, the range is empty or lies outside the package, or the read fails
  // (GetLastError tells why). Valid until the next call.
  std::string_view Read(uint64_t offset, size_t wanted);
  // Copies `size` bytes at `offset` into `out`, through as many views as it
  // takes; false as Read fails.
  bool CopyOut(uint64_t offset, size_t size, char* out);
  // Unmaps and closes; a created copy and its folder are gone afterwards.
  void Close();

 private:
  std::string path_;
  std::string folder_;     // the private folder of a created copy
  FileHandle file_;
  FileHandle folderHold_;  // removes the private folder when closed
  std::unique_ptr<char[]> window_;  // made on the first read
  uint64_t windowStart_ = 0;          // where the window's bytes lie in the package
  size_t windowSize_ = 0;
  uint64_t size_ = 0;
  Sha256Digest writtenDigest_{};
};

}  // namespace vx
