// Shell link files (.lnk) made through the shell's link object.
#pragma once

#include <windows.h>

#include <string>

namespace vx {

// Creates one shell link file through IShellLinkA and IPersistFile, replacing
// a link file of that name. False when the link object cannot be made or any
// of its calls fails; nothing is saved then.
bool CreateShellLink(const std::string& target, const std::string& arguments,
                     const std::string& workingDirectory, const std::string& linkFile);

// The same, with the first failing call's result (S_OK when saved).
HRESULT SaveShellLink(const std::string& target, const std::string& arguments,
                      const std::string& workingDirectory, const std::string& linkFile);

}  // namespace vx
