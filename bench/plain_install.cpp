// The plainest installer of the same package, the yardstick of bench/compare:
// the package is one resource of this program; every item is written from
// the resource's memory with CreateFile, WriteFile and SetFileTime, and its
// folder made when it is missing. Nothing else: no temporary file, no
// progress, no log, no registry.
//
// Usage: vx_plain_install <install folder> [package module]
//   (exit code 0 on success). With a package module (a DLL carrying VXPACK,
//   see bench/package-module) the package is that module's resource, mapped
//   as an image resource, instead of this program's own.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "package/package.h"

namespace {

int Install(const std::string& target, HMODULE module) {
  HRSRC info = FindResourceA(module, "VXPACK", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const char* package = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  const DWORD size = info ? SizeofResource(module, info) : 0;
  if (!package || size < vx::kPackHeaderSize) return 2;

  // Header line 2: the item list's offset; the list runs to the end.
  const std::string_view bytes(package, size);
  const size_t lineStart = bytes.find("\r\n") + 2;
  const std::optional<int32_t> listOffset =
      vx::ParseInt32(bytes.substr(lineStart, bytes.find("\r\n", lineStart) - lineStart));
  if (!listOffset || *listOffset <= 0 || static_cast<DWORD>(*listOffset) >= size) return 3;

  std::string lastFolder;
  for (const std::string& line : vx::SplitLines(bytes.substr(*listOffset))) {
    const std::optional<std::string_view> record = vx::RecordText(line);
    if (!record) continue;
    vx::TPackItem item("", "");
    item.ParseLine(*record);
    if (item.Status != vx::kItemValid) return 4;
    if (item.Offset < 0 || item.Size < 0 || static_cast<DWORD>(item.Offset) + item.Size > size) {
      return 5;
    }
    const std::string folder = target + (item.Folder == "\\" ? "" : item.Folder);
    if (folder != lastFolder && !vx::FolderExists(folder) &&
        !vx::CreateFolderPath(folder).value_or(false)) {
      return 6;
    }
    lastFolder = folder;

    const std::string path = folder + "\\" + item.FileName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 7;
    DWORD written = 0;
    const bool ok = WriteFile(file, package + item.Offset, static_cast<DWORD>(item.Size),
                              &written, nullptr) &&
                    written == static_cast<DWORD>(item.Size);
    FILETIME local{}, utc{};
    const auto packed = static_cast<uint32_t>(item.FileDate);
    if (ok && item.FileDate > 0 &&
        DosDateTimeToFileTime(static_cast<WORD>(packed >> 16), static_cast<WORD>(packed), &local) &&
        LocalFileTimeToFileTime(&local, &utc)) {
      SetFileTime(file, nullptr, nullptr, &utc);
    }
    CloseHandle(file);
    if (!ok) return 8;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 1;
  HMODULE module = nullptr;
  if (argc == 3) {
    module = LoadLibraryExA(argv[2], nullptr,
                            LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 9;
  }
  std::string target = argv[1];
  if (!vx::CreateFolderPath(target).value_or(false)) return 6;
  return Install(target, module);
}
