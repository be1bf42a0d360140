#include "fixtures.h"

#include <atomic>
#include <functional>

#include "common/handles.h"

namespace vx::test {

namespace {

std::atomic<unsigned> g_counter{0};

std::string UniqueName(const char* prefix) {
  return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(GetTickCount()) + "_" + std::to_string(g_counter++);
}

HKEY CreateSub(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

RegistryOverride::RegistryOverride() {
  scratch_ = "Software\\VantorexSetupTests\\" + UniqueName("run");
  machine_ = CreateSub(HKEY_CURRENT_USER, scratch_ + "\\HKLM");
  classes_ = CreateSub(HKEY_CURRENT_USER, scratch_ + "\\HKCR");
  user_ = CreateSub(HKEY_CURRENT_USER, scratch_ + "\\HKCU");
  if (!machine_ || !classes_ || !user_) return;
  // HKEY_CURRENT_USER last: the scratch keys above are opened through the real one.
  ok_ = RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_) == ERROR_SUCCESS &&
        RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_) == ERROR_SUCCESS &&
        RegOverridePredefKey(HKEY_CURRENT_USER, user_) == ERROR_SUCCESS;
}

RegistryOverride::~RegistryOverride() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  for (HKEY key : {machine_, classes_, user_}) {
    if (key) RegCloseKey(key);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, scratch_.c_str());
}

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(MAX_PATH, temp);
  std::string base = length ? std::string(temp, length) : std::string("C:\\");
  if (base.back() != '\\') base += '\\';
  path_ = base + UniqueName("vxtest_");
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

namespace {

// The Unix path Wine maps a Windows path to; empty when it has none.
std::string UnixPathOf(const std::string& path) {
  using UnixFileName = char*(CDECL*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::string();
  std::wstring wide(path.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                         wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<size_t>(length > 0 ? length : 0));
  char* unix = toUnix(wide.c_str());
  if (!unix) return std::string();
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Starts a Unix program (Wine starts a program that is not a Windows one as
// it is, with no process handle to wait on), then waits until done() says
// it has had its effect; false when it could not start or the time ran out.
bool RunUnixProgram(std::string commandLine, const std::function<bool()>& done) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  for (int waited = 0; waited < 10000; waited += 10) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool PlantLink(const std::string& link, const std::string& target) {
  const std::string unixLink = UnixPathOf(link);
  const std::string unixTarget = UnixPathOf(target);
  return !unixLink.empty() && !unixTarget.empty() &&
         RunUnixProgram("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"",
                        [&] { return IsLink(link); });
}

bool RemoveLink(const std::string& link) {
  const std::string unixLink = UnixPathOf(link);
  return !unixLink.empty() &&
         RunUnixProgram("/bin/rm -f \"" + unixLink + "\"", [&] {
           return GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES;
         });
}

bool RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLink(path);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
  }
  WIN32_FIND_DATAA found{};
  {
    FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    if (search) {
      do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        RemoveTree(path + "\\" + name);
      } while (FindNextFileA(search.get(), &found));
    }
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) &&
         written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return bytes.empty() ||
         (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
          got == bytes.size());
}

namespace {
std::string ReadEnvironment(const char* name) {
  char value[MAX_PATH * 2] = {};
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length < sizeof value ? std::string(value, length) : std::string();
}
}  // namespace

TempFolderOverride::TempFolderOverride(const std::string& folder)
    : savedTmp_(ReadEnvironment("TMP")), savedTemp_(ReadEnvironment("TEMP")) {
  SetEnvironmentVariableA("TMP", folder.c_str());
  SetEnvironmentVariableA("TEMP", folder.c_str());
}

TempFolderOverride::~TempFolderOverride() {
  SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
  SetEnvironmentVariableA("TEMP", savedTemp_.empty() ? nullptr : savedTemp_.c_str());
}

}  // namespace vx::test
