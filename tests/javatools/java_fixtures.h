// Helpers for the Java detection tests: tool folders made on disk and tool
// registrations made in the (redirected) registry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vx::test {

// Creates the folder and its missing parents; false when it could not.
bool MakeFolder(const std::string& path);

// A JDK folder under parent, with or without "bin\javac.exe".
std::string MakeJdkFolder(const std::string& parent, const std::string& name, bool withCompiler);

// The files a toolkit folder can hold, as bits.
enum ToolkitFiles : unsigned {
  kPreverifier = 1,
  kEmulator = 2,
  kCldcLibrary = 4,
  kMidpLibrary = 8,
  kAllToolkitFiles = 15,
};
// A toolkit folder under parent holding the chosen files.
std::string MakeToolkitFolder(const std::string& parent, const std::string& name, unsigned files);
// A device profile folder in the toolkit's devices folder, with or without
// its own ".properties" file.
std::string MakeDeviceFolder(const std::string& toolkit, const std::string& device,
                             bool withProperties);

// Registers a tool under HKEY_LOCAL_MACHINE baseKey\version with a value of
// the given type and raw bytes. Returns the Win32 result.
LONG RegisterTool(const std::string& baseKey, const std::string& version,
                  const std::string& valueName, DWORD type, const std::string& data);
// A string as REG_SZ data: the text and its terminating NUL.
std::string Sz(const std::string& text);
LONG RegisterJdk(const std::string& version, const std::string& home);
LONG RegisterToolkit(const std::string& baseKey, const std::string& version,
                     const std::string& root);

// Subkey names of an HKEY_LOCAL_MACHINE key as RegEnumKeyExA gives them.
std::vector<std::string> EnumeratedSubkeys(const std::string& baseKey);

}  // namespace vx::test
