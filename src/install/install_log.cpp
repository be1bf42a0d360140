// The install log the product's uninstall program reads, and the removal of
// what a cancelled install run created.
#include <string>

#include "common/files.h"
#include "common/product.h"
#include "install/install_thread.h"

namespace vx {

int32_t TVXInstallThread::WriteInstallLog(const std::string& installFolder) {
  try {
    const std::string windows = QueryWindowsFolder ? QueryWindowsFolder() : vx::WindowsFolder();
    const std::string log = (!windows.empty() && FolderExists(windows))
                                ? windows + kLogFileInWindows
                                : installFolder + kLogFileInInstallFolder;
    static const std::vector<std::string> kNone;
    const std::vector<std::string>& folders = FolderList ? *FolderList : kNone;
    const std::vector<std::string>& files = FileList ? *FileList : kNone;

    auto write = [&log](const char* section, const std::string& key, const std::string& value) {
      return WritePrivateProfileStringA(section, key.c_str(), value.c_str(), log.c_str()) != FALSE;
    };
    // The counts are the highest "Id_" index of each list, -1 when it is empty.
    if (!write(kLogSectionDocument, kLogSectionFolders,
               std::to_string(static_cast<int64_t>(folders.size()) - 1)) ||
        !write(kLogSectionDocument, kLogSectionFiles,
               std::to_string(static_cast<int64_t>(files.size()) - 1))) {
      return kLogFailed;
    }
    for (size_t i = 0; i < folders.size(); ++i) {
      if (!write(kLogSectionFolders, kLogEntryPrefix + std::to_string(i), folders[i])) {
        return kLogFailed;
      }
    }
    for (size_t i = 0; i < files.size(); ++i) {
      if (!write(kLogSectionFiles, kLogEntryPrefix + std::to_string(i), files[i])) {
        return kLogFailed;
      }
    }
    return kInstallOk;
  } catch (...) {
    return kLogFailed;
  }
}

void RemoveInstalledFiles(const std::vector<std::string>& folders,
                          const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (FileExists(file)) DeleteFileA(file.c_str());
  }
  // Backwards, so deeper folders go before their parents; only empty ones go.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    if (FolderExists(*folder)) RemoveDirectoryA(folder->c_str());
  }
}

}  // namespace vx
