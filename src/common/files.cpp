#include "common/files.h"

#ifdef _WIN32
#include <windows.h>

#include "common/handles.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vx {

#ifdef _WIN32

std::optional<int32_t> FileSizeOf(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
  // The size is reported as a signed 32-bit number: a file of 2 GiB or more
  // wraps, as the package format's own 32-bit fields do.
  return static_cast<int32_t>(static_cast<uint32_t>(size.QuadPart));
}

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<bool> CreateFolderPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::string folder = path;
  if (folder.back() == '\\') folder.pop_back();
  if (folder.size() < 3 || FolderExists(folder)) return true;
  size_t slash = folder.find_last_of('\\');
  if (slash == std::string::npos) return std::nullopt;  // no level above to start from
  std::string parent = folder.substr(0, slash + 1);
  if (parent == folder) return true;
  std::optional<bool> above = CreateFolderPath(parent);
  if (!above) return above;
  if (!*above) return false;
  if (CreateDirectoryA(folder.c_str(), nullptr)) return true;
  // Another process may have created it meanwhile; what counts is that it exists.
  return FolderExists(folder);
}

std::string FolderPath(const std::string& folder) {
  const bool bareDrive = folder.size() == 2 && folder[1] == ':' &&
                         ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  return bareDrive ? folder + "\\" : folder;
}

std::string WindowsFolder() {
  char buffer[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
}

#else

std::optional<int32_t> FileSizeOf(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  int rc = fstat(fd, &info);
  close(fd);
  if (rc != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<int32_t>(static_cast<uint32_t>(info.st_size));
}

#endif

}  // namespace vx
