// The registry and files as they were before an install run, and putting
// them back.
#include "install/prior_state.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "common/run_log.h"
#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"

namespace vx {

namespace {

// A key the run made goes again; a key that stays is traced.
void DeleteKeyTreeTraced(HKEY root, const std::string& path) {
  if (const LONG rc = DeleteRegistryTree(root, path); rc != ERROR_SUCCESS) {
    LogFailure("rollback: deleting a key the run made", path, static_cast<DWORD>(rc));
  }
}

bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

// True when `inner` is `outer` or lies below it.
bool IsWithin(const KeyState& outer, HKEY root, const std::string& inner) {
  return outer.root == root && KeyIsWithin(outer.path, inner);
}

bool KeyPresent(HKEY root, const std::string& path) {
  RegKey key;
  LONG rc = OpenRegistryKey(root, path, KEY_QUERY_VALUE, key);
  return rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND;
}

const KeyState::Value* FindValue(const std::vector<KeyState::Value>& values,
                                 const std::string& name) {
  for (const auto& value : values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

const KeyState* FindSubkey(const std::vector<KeyState>& subkeys, const std::string& path) {
  for (const auto& subkey : subkeys) {
    if (SameName(subkey.path, path)) return &subkey;
  }
  return nullptr;
}

// Brings the key `now` describes back to `before` (both existed before).
void RestoreExisting(const KeyState& before, const KeyState& now) {
  RegKey key;
  auto writable = [&]() -> HKEY {
    if (!key) CreateRegistryKey(before.root, before.path, KEY_ALL_ACCESS, key);
    return key.get();
  };
  if (!now.existed) writable();
  for (const auto& value : now.values) {
    if (!FindValue(before.values, value.name) && writable()) {
      RegDeleteValueA(key.get(), value.name.c_str());
    }
  }
  for (const auto& value : before.values) {
    const KeyState::Value* current = FindValue(now.values, value.name);
    if (current && *current == value) continue;
    if (writable()) {
      RegSetValueExA(key.get(), value.name.c_str(), 0, value.type,
                     reinterpret_cast<const BYTE*>(value.data.data()),
                     static_cast<DWORD>(value.data.size()));
    }
  }
  key.reset();
  for (const auto& subkey : now.subkeys) {
    if (!FindSubkey(before.subkeys, subkey.path)) DeleteKeyTreeTraced(now.root, subkey.path);
  }
  for (const auto& subkey : before.subkeys) {
    const KeyState* current = FindSubkey(now.subkeys, subkey.path);
    KeyState missing;
    missing.root = subkey.root;
    missing.path = subkey.path;
    if (subkey.readable) RestoreExisting(subkey, current ? *current : missing);
  }
}

}  // namespace

std::vector<WrittenKey> KeysTheInstallWrites() {
  std::vector<WrittenKey> keys;
  for (const FootprintKey& key : FootprintKeys()) {
    if (key.writer != KeyWriter::None) keys.push_back({key.root, key.path});
  }
  return keys;
}

KeyState CaptureKey(HKEY root, const std::string& path) {
  KeyState state;
  state.root = root;
  state.path = path;
  RegKey key;
  LONG rc = OpenRegistryKey(root, path, KEY_READ, key);
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return state;
  state.existed = true;
  DWORD subkeyCount = 0, longestSubkey = 0, valueCount = 0, longestName = 0, largestData = 0;
  if (rc != ERROR_SUCCESS ||
      RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeyCount, &longestSubkey,
                       nullptr, &valueCount, &longestName, &largestData, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    state.readable = false;
    return state;
  }
  std::string name(std::max<DWORD>(longestName, longestSubkey) + 2, '\0');
  std::string data(largestData + 1, '\0');
  for (DWORD index = 0; index < valueCount; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    if (RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataLength) != ERROR_SUCCESS) {
      state.readable = false;
      return state;
    }
    state.values.push_back({name.substr(0, nameLength), type, data.substr(0, dataLength)});
  }
  std::vector<std::string> names;
  for (DWORD index = 0; index < subkeyCount; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key.get(), index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      state.readable = false;
      return state;
    }
    names.push_back(name.substr(0, nameLength));
  }
  key.reset();
  for (const std::string& subkey : names) {
    state.subkeys.push_back(CaptureKey(root, path.empty() ? subkey : path + "\\" + subkey));
  }
  return state;
}

std::vector<KeyState> CaptureKeys(const std::vector<WrittenKey>& written) {
  std::vector<KeyState> captured;
  // The keys share most of their upper levels, each looked at once: an
  // opening in the product's registry view costs about half a millisecond
  // under Wine.
  std::map<std::pair<HKEY, std::string>, bool> present;
  auto isPresent = [&present](HKEY root, const std::string& level) {
    const auto [known, added] = present.try_emplace({root, level}, false);
    if (added) known->second = KeyPresent(root, level);
    return known->second;
  };
  for (const WrittenKey& key : written) {
    // The highest missing level: everything from there down is the run's.
    std::string point = key.path;
    for (size_t end = 0; end != std::string::npos;) {
      end = key.path.find('\\', end + 1);
      const std::string level = key.path.substr(0, end);
      if (!isPresent(key.root, level)) {
        point = level;
        break;
      }
    }
    if (std::any_of(captured.begin(), captured.end(),
                    [&](const KeyState& done) { return IsWithin(done, key.root, point); })) {
      continue;
    }
    KeyState state = CaptureKey(key.root, point);
    captured.erase(std::remove_if(captured.begin(), captured.end(),
                                  [&](const KeyState& done) {
                                    return IsWithin(state, done.root, done.path);
                                  }),
                   captured.end());
    captured.push_back(std::move(state));
  }
  return captured;
}

void RestoreKey(const KeyState& before) {
  if (!before.existed) {
    DeleteKeyTreeTraced(before.root, before.path);
    return;
  }
  if (!before.readable) return;
  RestoreExisting(before, CaptureKey(before.root, before.path));
}

void RestorePriorState(const PriorState& prior) {
  for (auto key = prior.keys.rbegin(); key != prior.keys.rend(); ++key) {
    try {
      RestoreKey(*key);
    } catch (...) {
      LogCaught("rollback: restoring a key", key->path);
    }
  }
  for (const std::string& file : prior.placedFiles) {
    if (DeleteFileA(file.c_str())) {
      LogLine("rollback: removed %s", file.c_str());
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      LogFailure("rollback: removing a file this run placed", file, GetLastError());
    }
  }
}

}  // namespace vx
