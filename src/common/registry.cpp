#include "common/registry.h"

#include <vector>

#include "common/text.h"

namespace vx {

REGSAM WithProductView(HKEY root, REGSAM access) {
  return root == HKEY_LOCAL_MACHINE ? (access | KEY_WOW64_32KEY) : access;
}

LONG OpenRegistryKey(HKEY root, const std::string& path, REGSAM access, RegKey& key) {
  return RegOpenKeyExA(root, path.c_str(), 0, WithProductView(root, access), key.put());
}

LONG CreateRegistryKey(HKEY root, const std::string& path, REGSAM access, RegKey& key) {
  return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         WithProductView(root, access), nullptr, key.put(), nullptr);
}

RegistryAccess::RegistryAccess(HKEY root, REGSAM access) : root_(root), access_(access) {}

HKEY RegistryAccess::BaseFor(const std::string& path, std::string& relative) const {
  if (!path.empty() && path.front() == '\\') {
    relative = path.substr(1);
    return root_;
  }
  relative = path;
  return current_ ? current_.get() : root_;
}

LONG RegistryAccess::OpenKey(const std::string& path, bool canCreate) {
  std::string relative;
  HKEY base = BaseFor(path, relative);
  RegKey opened;
  // Subkeys of an open HKLM key keep its view: the flag goes with every call.
  REGSAM access = WithProductView(root_, access_);
  LONG rc = canCreate ? RegCreateKeyExA(base, relative.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr,
                                        opened.put(), nullptr)
                      : RegOpenKeyExA(base, relative.c_str(), 0, access, opened.put());
  if (rc != ERROR_SUCCESS) return rc;
  currentPath_ = (base == root_ || currentPath_.empty()) ? relative
                                                         : currentPath_ + "\\" + relative;
  current_ = std::move(opened);
  return ERROR_SUCCESS;
}

LONG RegistryAccess::OpenKeyReadOnly(const std::string& path) {
  std::string relative;
  HKEY base = BaseFor(path, relative);
  static const REGSAM kTries[] = {KEY_READ,
                                  STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                  KEY_QUERY_VALUE};
  LONG rc = ERROR_ACCESS_DENIED;
  for (REGSAM rights : kTries) {
    RegKey opened;
    rc = RegOpenKeyExA(base, relative.c_str(), 0, WithProductView(root_, rights), opened.put());
    if (rc == ERROR_SUCCESS) {
      currentPath_ = (base == root_ || currentPath_.empty()) ? relative
                                                             : currentPath_ + "\\" + relative;
      current_ = std::move(opened);
      return rc;
    }
    if (rc != ERROR_ACCESS_DENIED) break;  // only a refusal is worth another try
  }
  return rc;
}

void RegistryAccess::CloseKey() {
  current_.reset();
  currentPath_.clear();
}

bool RegistryAccess::KeyExists(const std::string& path) const {
  std::string relative;
  HKEY base = BaseFor(path, relative);
  RegKey probe;
  REGSAM rights = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
  return RegOpenKeyExA(base, relative.c_str(), 0, WithProductView(root_, rights), probe.put()) ==
         ERROR_SUCCESS;
}

LONG RegistryAccess::CreateKey(const std::string& path) {
  std::string relative;
  HKEY base = BaseFor(path, relative);
  RegKey created;
  return RegCreateKeyExA(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         WithProductView(root_, access_), nullptr, created.put(), nullptr);
}

LONG RegistryAccess::GetKeyNames(std::vector<std::string>& names) const {
  names.clear();
  HKEY key = CurrentKey();
  if (!key) return ERROR_INVALID_HANDLE;
  DWORD count = 0;
  DWORD longest = 0;
  LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  std::string buffer(longest + 1, '\0');
  for (DWORD index = 0; index < count; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    rc = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    names.emplace_back(buffer.data(), length);
  }
  return ERROR_SUCCESS;
}

LONG RegistryAccess::ReadValue(const std::string& name, DWORD& type, std::string& data) const {
  data.clear();
  type = REG_NONE;
  HKEY key = CurrentKey();
  if (!key) return ERROR_INVALID_HANDLE;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return rc;
  // The value may grow between the two calls; ask again until it fits.
  for (int attempt = 0; attempt < 4; ++attempt) {
    data.resize(size);
    DWORD got = size;
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (rc == ERROR_SUCCESS) data.resize(got);
    return rc;
  }
  return rc;
}

LONG RegistryAccess::WriteString(const std::string& name, const std::string& value) const {
  HKEY key = CurrentKey();
  if (!key) return ERROR_INVALID_HANDLE;
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

LONG RegistryAccess::WriteInteger(const std::string& name, int32_t value) const {
  HKEY key = CurrentKey();
  if (!key) return ERROR_INVALID_HANDLE;
  DWORD data = static_cast<DWORD>(value);
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data);
}

namespace {

template <class WriteValue>
bool WriteMachineValue(const std::string& key, const std::string& name, WriteValue write) {
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS);
  LONG rc = registry.OpenKey(key, true);
  if (TrimBlanks(name).empty()) return true;  // only the key was asked for
  if (rc != ERROR_SUCCESS) return false;
  return write(registry) == ERROR_SUCCESS;
}

}  // namespace

bool WriteRegistryString(const std::string& key, const std::string& name,
                         const std::string& value) {
  return WriteMachineValue(key, name,
                           [&](const RegistryAccess& r) { return r.WriteString(name, value); });
}

bool WriteRegistryInteger(const std::string& key, const std::string& name, int32_t value) {
  return WriteMachineValue(key, name,
                           [&](const RegistryAccess& r) { return r.WriteInteger(name, value); });
}

LONG DeleteRegistryTree(HKEY root, const std::string& path) {
  if (TrimBlanks(path).empty()) return ERROR_SUCCESS;
  // Deepest first, each key by name: that needs only the right to read a key
  // and to delete it, so a key whose values nobody may change still goes.
  std::vector<std::string> names;
  {
    RegistryAccess registry(root, KEY_READ);
    LONG rc = registry.OpenKey(path, false);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    rc = registry.GetKeyNames(names);
    if (rc != ERROR_SUCCESS) return rc;
  }
  LONG below = ERROR_SUCCESS;
  for (const std::string& name : names) {
    const LONG rc = DeleteRegistryTree(root, path + "\\" + name);
    if (below == ERROR_SUCCESS) below = rc;
  }
  // RegDeleteKeyExA, not RegDeleteKeyA: the view flag must reach the deletion.
  LONG rc = RegDeleteKeyExA(root, path.c_str(), WithProductView(root, 0), 0);
  if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  return below != ERROR_SUCCESS ? below : rc;
}

bool KeyIsWithin(const std::string& outer, const std::string& inner) {
  if (inner.size() < outer.size() ||
      _strnicmp(inner.c_str(), outer.c_str(), outer.size()) != 0) {
    return false;
  }
  return inner.size() == outer.size() || inner[outer.size()] == '\\';
}

}  // namespace vx
