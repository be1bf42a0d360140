// Clean-up helpers shared by the benchmark programs.
#include "bench_files.h"

#include <windows.h>

#include "common/handles.h"

namespace vx::bench {

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found{};
  {
    vx::FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    if (search) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(child.c_str());
        }
      } while (FindNextFileA(search.get(), &found));
    }
  }
  RemoveDirectoryA(path.c_str());
}

void RemoveRegistryTree(const std::string& path) {
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace vx::bench
