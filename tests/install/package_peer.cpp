// Another program of the same user, for the tests of the package copy.
//
//   vx_package_peer swap <temp folder> <stop event> <report file>
//     Until the event is set, looks for the setup's private package folders
//     in the temporary folder and tries to replace, rename, delete or write
//     the package in each, and to rename the folder. Writes one line per
//     attempt that succeeded, then "seen N tried M". Sets the event named
//     <stop event>Tried once it has tried every attempt on a copy.
//   vx_package_peer hold <temp folder> <report file>
//     Makes a package copy as the setup does, writes its path to the report
//     and waits to be ended from outside.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/handles.h"
#include "install/temp_package.h"

namespace {

using vx::FileHandle;

bool WriteText(const std::string& path, const std::string& text) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                           nullptr) &&
         written == text.size();
}

std::vector<std::string> PackageFolders(const std::string& temp) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry{};
  vx::FindHandle search(FindFirstFileA((temp + "\\vxsetup-*").c_str(), &entry));
  if (!search) return found;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) found.push_back(temp + "\\" + entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  return found;
}

int Swap(const std::string& temp, const char* stopName, const std::string& report) {
  vx::KernelHandle stop(OpenEventA(SYNCHRONIZE, FALSE, stopName));
  vx::KernelHandle triedOnce(
      OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(stopName) + "Tried").c_str()));
  if (!stop || !triedOnce) return 2;
  const std::string bait = temp + "\\bait.pck";
  if (!WriteText(bait, "not the package")) return 2;
  std::string breaches;
  int seen = 0;
  int tried = 0;
  while (WaitForSingleObject(stop.get(), 0) == WAIT_TIMEOUT) {
    for (const std::string& folder : PackageFolders(temp)) {
      const std::string package = folder + "\\vxpack.pck";
      if (GetFileAttributesA(package.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
      ++seen;
      ++tried;
      FileHandle writer(CreateFileA(package.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (writer) breaches += "opened for writing: " + package + "\n";
      writer.reset();
      if (DeleteFileA(package.c_str())) breaches += "deleted: " + package + "\n";
      if (MoveFileExA(package.c_str(), (package + ".old").c_str(), 0)) {
        breaches += "renamed: " + package + "\n";
      }
      if (MoveFileExA(bait.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        breaches += "replaced: " + package + "\n";
        WriteText(bait, "not the package");
      }
      if (MoveFileExA(folder.c_str(), (folder + "-moved").c_str(), 0)) {
        breaches += "folder renamed: " + folder + "\n";
      }
      SetEvent(triedOnce.get());
    }
    Sleep(1);
  }
  DeleteFileA(bait.c_str());
  return WriteText(report, breaches + "seen " + std::to_string(seen) + " tried " +
                               std::to_string(tried) + "\n")
             ? 0
             : 2;
}

int Hold(const std::string& temp, const std::string& report) {
  static const char kBytes[] = "a package that is never read";
  vx::TempPackage package;
  if (package.Create(temp, "vxpack.pck", kBytes, sizeof kBytes) !=
      vx::TempPackage::CreateResult::Written) {
    return 2;
  }
  if (!WriteText(report, package.Path())) return 2;
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "swap" && argc == 5) return Swap(argv[2], argv[3], argv[4]);
  if (mode == "hold" && argc == 4) return Hold(argv[2], argv[3]);
  std::fprintf(stderr, "usage: vx_package_peer swap TEMP EVENT REPORT | hold TEMP REPORT\n");
  return 2;
}
