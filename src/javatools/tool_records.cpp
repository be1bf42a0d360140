// The JDK and wireless toolkit records: validation and device listing.
#include <windows.h>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"
#include "common/text.h"
#include "javatools/device_entry.h"
#include "javatools/javatools.h"

namespace vx {

namespace {

// True when FindFirstFileA finds the name and it is not a folder. Wildcards
// would let the search match some other file, so a name holding one is not
// an existing file.
bool FileFoundByName(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA found{};
  FindHandle search(FindFirstFileA(path.c_str(), &found));
  return search && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A file a tool needs, relative to the tool's folder. An empty folder would
// turn the path into one on the current drive's root, so it finds nothing.
bool ToolFileExists(const std::string& folder, const char* relative) {
  return !folder.empty() && FileFoundByName(folder + relative);
}

// A device profile is a plain subfolder that holds a ".properties" file of
// its own name.
bool IsDeviceProfile(const std::string& devicesFolder, const WIN32_FIND_DATAA& entry) {
  const std::string_view name = entry.cFileName;
  if (!IsDeviceFolderEntry(entry.dwFileAttributes, entry.nFileSizeLow, name)) return false;
  std::string properties = devicesFolder;
  properties.append(name).append("\\").append(name).append(kWtkDeviceProfileExtension);
  return FileFoundByName(properties);
}

}  // namespace

bool IsDeviceFolderEntry(uint32_t attributes, uint32_t sizeLow, std::string_view name) {
  // Exactly the directory bit: the test is on the whole word, not on one bit.
  return attributes == FILE_ATTRIBUTE_DIRECTORY && sizeLow == 0 && name != "." && name != "..";
}

TSunJDK::TSunJDK(std::string_view version, std::string_view home)
    : Status(kJavaToolUsable), Version(TrimBlanks(version)), Home(TrimBlanks(home)) {
  Validate();  // the outcome stays in Status
}

bool TSunJDK::Validate() {
  try {
    Status = JdkVersionStatus(Version);
    if (Status != kJavaToolUsable) return false;
    if (!ToolFileExists(Home, kJdkCompilerFile)) Status = kJdkNoCompiler;
    return Status == kJavaToolUsable;
  } catch (...) {
    LogCaught("Java tools: checking a JDK", Home);
    Status = kJavaToolUnexpected;
    return false;
  }
}

TMobileWTK::TMobileWTK(std::string_view version, std::string_view root)
    : Status(kJavaToolUsable), Version(TrimBlanks(version)), Root(TrimBlanks(root)) {
  if (!Validate()) return;  // a toolkit that failed has no device list at all
  try {
    Devices.emplace();
  } catch (...) {
    LogCaught("Java tools: making the device list of a toolkit", Root);
    return;
  }
  RefreshDevices();
}

bool TMobileWTK::Validate() {
  try {
    Status = WtkVersionStatus(Version);
    if (Status != kJavaToolUsable) return false;
    // Every file is tested; the code of the last missing one stands.
    if (!ToolFileExists(Root, kWtkPreverifierFile)) Status = kWtkNoPreverifier;
    if (!ToolFileExists(Root, kWtkEmulatorFile)) Status = kWtkNoEmulator;
    if (!ToolFileExists(Root, kWtkCldcLibraryFile)) Status = kWtkNoCldcLibrary;
    if (!ToolFileExists(Root, kWtkMidpLibraryFile)) Status = kWtkNoMidpLibrary;
    return Status == kJavaToolUsable;
  } catch (...) {
    LogCaught("Java tools: checking a toolkit", Root);
    Status = kJavaToolUnexpected;
    return false;
  }
}

void TMobileWTK::RefreshDevices() {
  if (!Devices) return;
  Devices->clear();
  ListDevices(Root, &*Devices);
  DeviceState1 = 0;
  DeviceState2 = 0;
}

void TMobileWTK::ListDevices(const std::string& folder, std::vector<std::string>* devices) {
  try {
    if (!devices || !FolderExists(folder)) return;
    const std::string devicesFolder = folder + kWtkDevicesFolder + "\\";
    if (!FolderExists(devicesFolder)) return;  // the list stays as it was
    devices->clear();
    WIN32_FIND_DATAA entry{};
    FindHandle search(FindFirstFileA((devicesFolder + "*").c_str(), &entry));
    if (!search) return;
    do {
      // Enumeration order is kept: the product shows the devices as found.
      if (IsDeviceProfile(devicesFolder, entry)) devices->push_back(entry.cFileName);
    } while (FindNextFileA(search.get(), &entry));
  } catch (...) {
    // A failure while listing keeps the names found so far; the record stands.
    LogCaught("Java tools: listing the devices of a toolkit", folder);
  }
}

}  // namespace vx
