#include "common/system.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "common/handles.h"

namespace vx {

namespace {
std::atomic<HWND> g_applicationWindow{nullptr};
}

void SetApplicationWindow(HWND window) { g_applicationWindow.store(window); }
HWND ApplicationWindow() { return g_applicationWindow.load(); }

std::string GetSpecialFolder(int csidl) {
  std::string result;
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(ApplicationWindow(), csidl, &items)) || !items) {
    return result;
  }
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(items, path)) result = path;
  ComPtr<IMalloc> allocator;
  if (SUCCEEDED(SHGetMalloc(allocator.put()))) {
    allocator->Free(items);
  } else {
    CoTaskMemFree(items);  // the shell allocator is the task allocator
  }
  return result;
}

std::string ModuleFileVersion(HMODULE module) {
  // VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" with its 0,
  // padding to 32 bits, then VS_FIXEDFILEINFO.
  constexpr size_t kFixedInfoOffset = 40;
  ResourceBytes block =
      FindResourceBytes(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
  if (!block.data || block.size < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO)) {
    return std::string();
  }
  WORD valueLength = 0;
  std::memcpy(&valueLength, block.data + 2, sizeof valueLength);
  VS_FIXEDFILEINFO fixed{};
  std::memcpy(&fixed, block.data + kFixedInfoOffset, sizeof fixed);
  if (valueLength < sizeof fixed || fixed.dwSignature != 0xFEEF04BD) return std::string();
  return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed.dwFileVersionLS));
}

std::string OwnFileVersion() { return ModuleFileVersion(nullptr); }

void RestrictDllSearchToSystemFolder() {
  // Looked up rather than imported: Windows 7 has it only with an update.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDirectories) {
    setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    SetDllDirectoryA("");  // without it, at least the current folder leaves the search
  }
}

CalendarDate LocalToday() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return CalendarDate{now.wYear, now.wMonth, now.wDay};
}

}  // namespace vx
