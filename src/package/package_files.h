// File access shared by the package reader and builder: the C runtime's,
// so the code stays portable. Internal to the package module.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace vx::package_files {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The C runtime's fopen takes the name in the ANSI code page on Windows, as
// the rest of the setup does, and lets others read and write the file.
inline FilePtr OpenFile(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

// Size of an existing regular file; empty when there is none at the path.
inline std::optional<int64_t> RegularFileSize(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IFREG) == 0) return std::nullopt;
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
#endif
  return static_cast<int64_t>(info.st_size);
}

inline bool PackageFileExists(const std::string& path) { return RegularFileSize(path).has_value(); }

// Reads exactly count bytes from the current position.
inline bool ReadExactly(std::FILE* file, char* buffer, size_t count) {
  return std::fread(buffer, 1, count, file) == count;
}

}  // namespace vx::package_files
