#include "java_fixtures.h"

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "fixtures.h"

namespace vx::test {

bool MakeFolder(const std::string& path) { return CreateFolderPath(path).value_or(false); }

std::string MakeJdkFolder(const std::string& parent, const std::string& name, bool withCompiler) {
  std::string home = parent + "\\" + name;
  MakeFolder(home + "\\bin");
  if (withCompiler) WriteFileBytes(home + kJdkCompilerFile, "MZ");
  return home;
}

std::string MakeToolkitFolder(const std::string& parent, const std::string& name, unsigned files) {
  std::string root = parent + "\\" + name;
  MakeFolder(root + "\\bin");
  MakeFolder(root + "\\lib");
  if (files & kPreverifier) WriteFileBytes(root + kWtkPreverifierFile, "MZ");
  if (files & kEmulator) WriteFileBytes(root + kWtkEmulatorFile, "MZ");
  if (files & kCldcLibrary) WriteFileBytes(root + kWtkCldcLibraryFile, "PK");
  if (files & kMidpLibrary) WriteFileBytes(root + kWtkMidpLibraryFile, "PK");
  return root;
}

std::string MakeDeviceFolder(const std::string& toolkit, const std::string& device,
                             bool withProperties) {
  std::string folder = toolkit + kWtkDevicesFolder + "\\" + device;
  MakeFolder(folder);
  if (withProperties) {
    WriteFileBytes(folder + "\\" + device + kWtkDeviceProfileExtension, "screen=176x208\r\n");
  }
  return folder;
}

LONG RegisterTool(const std::string& baseKey, const std::string& version,
                  const std::string& valueName, DWORD type, const std::string& data) {
  RegKey key;
  LONG rc = CreateRegistryKey(HKEY_LOCAL_MACHINE, baseKey + "\\" + version, KEY_ALL_ACCESS, key);
  if (rc != ERROR_SUCCESS) return rc;
  return RegSetValueExA(key.get(), valueName.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

std::string Sz(const std::string& text) { return text + '\0'; }

LONG RegisterJdk(const std::string& version, const std::string& home) {
  return RegisterTool(kJdkRegistryKey, version, kJdkHomeValue, REG_SZ, Sz(home));
}

LONG RegisterToolkit(const std::string& baseKey, const std::string& version,
                     const std::string& root) {
  return RegisterTool(baseKey, version, kWtkFolderValue, REG_SZ, Sz(root));
}

std::vector<std::string> EnumeratedSubkeys(const std::string& baseKey) {
  std::vector<std::string> names;
  RegKey key;
  if (OpenRegistryKey(HKEY_LOCAL_MACHINE, baseKey, KEY_READ, key) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

}  // namespace vx::test
