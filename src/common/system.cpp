#include "common/system.h"

#include <shlobj.h>

#include <atomic>
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

std::string FileVersionOf(const std::string& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::string();
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      !fixed || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::string();
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
}

std::string OwnFileVersion() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return FileVersionOf(path);
}

CalendarDate LocalToday() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return CalendarDate{now.wYear, now.wMonth, now.wDay};
}

}  // namespace vx
