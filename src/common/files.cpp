#include "common/files.h"

#ifdef _WIN32
#include <windows.h>
#include <ntsecapi.h>
#include <winternl.h>
#include <sddl.h>

#include <cstdio>

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

bool CreateProtectedFolder(const std::string& path, const char* rights) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(rights, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  LocalMem owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  return CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

namespace {

constexpr int kFolderNameAttempts = 16;

// "<parent>\<prefix><16 random hex digits>", parent without its trailing
// backslash; empty when no random number can be had.
std::string RandomFolderPath(const std::string& parent, const char* prefix) {
  const std::string base =
      parent.back() == '\\' ? parent.substr(0, parent.size() - 1) : parent;
  unsigned char random[8] = {};
  if (!RtlGenRandom(random, sizeof random)) return std::string();
  char name[17] = {};
  for (size_t i = 0; i < sizeof random; ++i) std::snprintf(name + 2 * i, 3, "%02x", random[i]);
  return base + "\\" + prefix + name;
}

// The NT form of a Windows path, made full first as Windows would (".."
// and "." resolved): "\??\C:\..." or "\??\UNC\server\...".
std::wstring NtPathOf(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD full = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (full == 0 || full >= sizeof buffer) return std::wstring();
  const std::string absolute(buffer, full);
  const bool unc = absolute.size() > 2 && absolute[0] == '\\' && absolute[1] == '\\';
  const std::string rest = unc ? absolute.substr(2) : absolute;
  std::wstring wide(rest.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, rest.data(), static_cast<int>(rest.size()),
                                         wide.data(), static_cast<int>(wide.size()));
  if (length <= 0) return std::wstring();
  wide.resize(static_cast<size_t>(length));
  return (unc ? L"\\??\\UNC\\" : L"\\??\\") + wide;
}

}  // namespace

std::string CreatePrivateFolder(const std::string& parent, const char* prefix) {
  if (parent.empty()) return std::string();
  // A name someone made ahead of us is skipped, never entered: a folder we
  // did not create could carry any rights.
  for (int attempt = 0; attempt < kFolderNameAttempts; ++attempt) {
    const std::string folder = RandomFolderPath(parent, prefix);
    if (folder.empty()) return std::string();
    if (CreateProtectedFolder(folder, kAdministratorsOnlyRights)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
  }
  return std::string();
}

HANDLE CreateHeldPrivateFolder(const std::string& parent, const char* prefix,
                               std::string* folder) {
  folder->clear();
  if (parent.empty()) return INVALID_HANDLE_VALUE;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          kAdministratorsOnlyRights, SDDL_REVISION_1, &descriptor, nullptr)) {
    return INVALID_HANDLE_VALUE;
  }
  LocalMem owned(descriptor);
  // A name someone made ahead of us is skipped, never entered: a folder we
  // did not create could carry any rights.
  for (int attempt = 0; attempt < kFolderNameAttempts; ++attempt) {
    const std::string path = RandomFolderPath(parent, prefix);
    if (path.empty()) return INVALID_HANDLE_VALUE;
    std::wstring ntPath = NtPathOf(path);
    if (ntPath.empty()) return INVALID_HANDLE_VALUE;
    UNICODE_STRING ntName{static_cast<USHORT>(ntPath.size() * sizeof(wchar_t)),
                          static_cast<USHORT>(ntPath.size() * sizeof(wchar_t)), ntPath.data()};
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &ntName, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    IO_STATUS_BLOCK io{};
    HANDLE held = nullptr;
    // Made and opened in one call: from the moment the folder exists it is
    // held without delete sharing, so nobody renames or removes it under
    // us, and it goes when the last handle to it closes, empty by then.
    const NTSTATUS status = NtCreateFile(
        &held, DELETE | FILE_LIST_DIRECTORY | SYNCHRONIZE, &attributes, &io, nullptr,
        FILE_ATTRIBUTE_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
        FILE_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) {
      *folder = path;
      return held;
    }
    constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
    if (status != kNameCollision) {
      SetLastError(RtlNtStatusToDosError(status));
      return INVALID_HANDLE_VALUE;
    }
  }
  SetLastError(ERROR_ALREADY_EXISTS);
  return INVALID_HANDLE_VALUE;
}

HANDLE ReopenAsNewest(HANDLE handle) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return INVALID_HANDLE_VALUE;
  }
  return copy;
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
