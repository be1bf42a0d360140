// What an install run changed beyond its file and folder lists, kept so that
// a rollback puts the machine back as it was: the product's registry keys as
// they stood before the run first wrote to them, and the files the run placed
// outside the install folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vx {

// One registry key as it stood: its values and subkeys, or that it was missing.
struct KeyState {
  struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Value&) const = default;
  };
  HKEY root = nullptr;
  std::string path;
  bool existed = false;
  bool readable = true;  // false: it existed but could not be read; left alone
  std::vector<Value> values;
  std::vector<KeyState> subkeys;
};

struct PriorState {
  // Captured once, before the run's first registry write; empty when the run
  // never reached the registry.
  std::vector<KeyState> keys;
  bool keysCaptured = false;
  // Files the run created where none was before, outside its lists (the
  // uninstall program's copy in the Windows folder).
  std::vector<std::string> placedFiles;
};

// Every key the install run writes, under its root, in the order written.
struct WrittenKey {
  HKEY root;
  std::string path;
};
std::vector<WrittenKey> KeysTheInstallWrites();

// The state of the keys that writing `written` can change: for each, the
// highest level of its path that is missing (everything below it is new), or
// the key itself with its whole tree when it exists. A key inside one
// already captured is not captured again.
std::vector<KeyState> CaptureKeys(const std::vector<WrittenKey>& written);
KeyState CaptureKey(HKEY root, const std::string& path);

// Puts a key back as captured: a key that was missing is deleted with its
// subkeys; one that existed gets its values and subkeys back, and loses
// values and subkeys added since. A key nothing changed is not touched.
// Failures are ignored: what cannot be put back stays.
void RestoreKey(const KeyState& before);

// The rollback of what the list does not hold: the keys in reverse order of
// capture, then the placed files.
void RestorePriorState(const PriorState& prior);

}  // namespace vx
