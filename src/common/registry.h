// Registry access for every subsystem.
//
// The shipped setup is a 32-bit program: on 64-bit Windows it sees the 32-bit
// view of HKEY_LOCAL_MACHINE\SOFTWARE. Every access made through this layer on
// HKEY_LOCAL_MACHINE carries KEY_WOW64_32KEY, so the 64-bit build sees exactly
// the same keys (for the 32-bit build on 32-bit Windows the flag does nothing).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/handles.h"

namespace vx {

// The access rights with the product's registry view added for the root.
REGSAM WithProductView(HKEY root, REGSAM access);

// One registry access object: a root key and at most one open key, in the
// manner of a classic registry wrapper. A relative path is taken relative to
// the key that is open at that moment, or to the root when none is; a path
// that starts with a backslash is always taken from the root. Every operation
// returns the Win32 error code (ERROR_SUCCESS when it worked); nothing throws.
class RegistryAccess {
 public:
  explicit RegistryAccess(HKEY root, REGSAM access = KEY_ALL_ACCESS);

  HKEY Root() const { return root_; }
  HKEY CurrentKey() const { return current_ ? current_.get() : nullptr; }
  const std::string& CurrentPath() const { return currentPath_; }

  // Opens a key with this object's access rights, creating it (and missing
  // parents) when canCreate is set. Closes the key that was open before only
  // when the new one opened.
  LONG OpenKey(const std::string& path, bool canCreate);
  // Opens a key for reading: KEY_READ, and when that is refused
  // STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, then
  // KEY_QUERY_VALUE alone.
  LONG OpenKeyReadOnly(const std::string& path);
  void CloseKey();

  // True when the key can be opened with the rights of an existence test.
  bool KeyExists(const std::string& path) const;
  // Creates a subkey of the open key (or of the root) and closes it again.
  LONG CreateKey(const std::string& path);

  // Names of the direct subkeys of the open key, in enumeration order.
  LONG GetKeyNames(std::vector<std::string>& names) const;

  // A value of the open key with its type and raw data. A value that does not
  // exist gives ERROR_FILE_NOT_FOUND.
  LONG ReadValue(const std::string& name, DWORD& type, std::string& data) const;

  LONG WriteString(const std::string& name, const std::string& value) const;
  LONG WriteInteger(const std::string& name, int32_t value) const;

 private:
  HKEY BaseFor(const std::string& path, std::string& relative) const;

  HKEY root_;
  REGSAM access_;
  RegKey current_;
  std::string currentPath_;
};

// Deletes one key with its subkeys and values, in the product's registry
// view. A key that does not exist is not an error; an empty path (which would
// name the root itself) deletes nothing. ERROR_SUCCESS or the Win32 error.
LONG DeleteRegistryTree(HKEY root, const std::string& path);

// True when the key `inner` is `outer` or lies below it (names compared
// without case).
bool KeyIsWithin(const std::string& outer, const std::string& inner);

// Opens a subkey directly (no access object), with the product's view.
LONG OpenRegistryKey(HKEY root, const std::string& path, REGSAM access, RegKey& key);
LONG CreateRegistryKey(HKEY root, const std::string& path, REGSAM access, RegKey& key);

// Writes one value under HKEY_LOCAL_MACHINE, creating the key and its parents.
// The name is written unchanged, but when it is empty after blanks and
// control characters are stripped, nothing is written and the call only
// creates the key: then the result is true even when that failed. Any other
// failure gives false.
bool WriteRegistryString(const std::string& key, const std::string& name,
                         const std::string& value);
bool WriteRegistryInteger(const std::string& key, const std::string& name, int32_t value);

}  // namespace vx
