#include "common/run_log.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string_view>

#include "common/files.h"
#include "common/handles.h"
#include "common/system.h"

namespace vx {

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
FileHandle g_folder;      // the log's folder, held; guarded by g_lock
FileHandle g_file;        // guarded by g_lock
std::string g_path;       // guarded by g_lock
std::atomic<bool> g_open{false};

constexpr int kNameAttempts = 10;

void WriteRaw(const char* text, DWORD length) {
  AcquireSRWLockExclusive(&g_lock);
  if (g_file) {
    DWORD written = 0;
    WriteFile(g_file.get(), text, length, &written, nullptr);
  }
  ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace

void StartRunLog(const char* title) {
  if (g_open.load()) return;
  char temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  // A name that exists is never entered (someone may have made it for us to
  // write through): the next one is tried.
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    std::string name = std::string(title) + " " + stamp;
    if (attempt > 1) name += "-" + std::to_string(attempt);
    const std::string folder = std::string(temp) + name;
    // Held while the log is open: nobody renames it and puts a folder (or a
    // link) of their own under its name for the writes to go into.
    FileHandle held(CreateHeldFolder(folder, kAdministratorsWriteUsersReadRights));
    if (!held) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return;
    }
    const std::string path = folder + "\\" + name + ".log";
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    AcquireSRWLockExclusive(&g_lock);
    g_folder = std::move(held);
    g_file = std::move(file);
    g_path = path;
    g_open.store(true);
    ReleaseSRWLockExclusive(&g_lock);
    return;
  }
}

void StartRunLogWithContext(const char* title) {
  StartRunLog(title);
  if (!g_open.load()) return;
  char program[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  LogLine("%s, version %s, %d-bit build (%s)", program, OwnFileVersion().c_str(),
          static_cast<int>(sizeof(void*) * 8), __VERSION__);
  // The true version: GetVersionEx answers what the manifest claims.
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtlGetVersion = reinterpret_cast<GetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  if (rtlGetVersion) rtlGetVersion(&version);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  LogLine("Windows %lu.%lu build %lu, %s", version.dwMajorVersion, version.dwMinorVersion,
          version.dwBuildNumber,
          wow64 ? "64-bit Windows, 32-bit registry view" : "registry view of this build");
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  LogLine("temporary folder %s, Windows folder %s", temp, WindowsFolder().c_str());
}

void StopRunLog() {
  AcquireSRWLockExclusive(&g_lock);
  g_open.store(false);
  g_file.reset();
  g_folder.reset();
  g_path.clear();
  ReleaseSRWLockExclusive(&g_lock);
}

std::string RunLogPath() {
  AcquireSRWLockShared(&g_lock);
  std::string path = g_path;
  ReleaseSRWLockShared(&g_lock);
  return path;
}

void LogLine(const char* format, ...) {
  if (!g_open.load()) return;
  char line[1024];
  SYSTEMTIME now{};
  GetLocalTime(&now);
  int prefix = std::snprintf(line, sizeof line, "%02u:%02u:%02u.%03u [%lu] ", now.wHour,
                             now.wMinute, now.wSecond, now.wMilliseconds,
                             static_cast<unsigned long>(GetCurrentThreadId()));
  if (prefix < 0) return;
  va_list arguments;
  va_start(arguments, format);
  int body = std::vsnprintf(line + prefix, sizeof line - prefix - 2, format, arguments);
  va_end(arguments);
  if (body < 0) return;
  // A longer line is cut; the line end is always there.
  size_t length = std::min<size_t>(prefix + static_cast<size_t>(body), sizeof line - 3);
  line[length++] = '\r';
  line[length++] = '\n';
  WriteRaw(line, static_cast<DWORD>(length));
}

namespace {

// "file.cpp:123": the file's name without its folders.
std::string PlaceText(const std::source_location& place) {
  std::string_view file = place.file_name();
  const size_t slash = file.find_last_of("/\\");
  if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
  return std::string(file) + ":" + std::to_string(place.line());
}

}  // namespace

void LogFailure(const char* what, const std::string& target, DWORD error,
                std::source_location place) {
  LogLine("failed: %s: %s (error %lu) at %s", what, target.c_str(),
          static_cast<unsigned long>(error), PlaceText(place).c_str());
}

void LogCaught(const char* what, const std::string& target, std::source_location place) {
  std::string reason = "an exception of an unknown kind";
  try {
    if (std::exception_ptr caught = std::current_exception()) std::rethrow_exception(caught);
  } catch (const std::exception& exception) {
    reason = exception.what();
  } catch (...) {
  }
  LogLine("failed: %s%s%s (%s) at %s", what, target.empty() ? "" : ": ", target.c_str(),
          reason.c_str(), PlaceText(place).c_str());
}

}  // namespace vx
