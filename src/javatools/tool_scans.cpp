// Registry scans for the Java tools and the prerequisite check over them.
#include <windows.h>

#include <optional>

#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "javatools/javatools.h"

namespace vx {

namespace {

// The folder value of one version subkey, read with an access object of its
// own. A key that does not open, an absent value and one of size 0 read as an
// empty text; string data ends at its first NUL and is not expanded. Empty
// result: the value holds data of another type.
std::optional<std::string> ReadToolFolder(const std::string& keyPath, const char* valueName) {
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  registry.OpenKeyReadOnly(keyPath);  // a failure shows as an unreadable value below
  DWORD type = REG_NONE;
  std::string data;
  if (registry.ReadValue(valueName, type, data) != ERROR_SUCCESS || data.empty()) {
    return std::string();
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  size_t end = data.find('\0');
  if (end != std::string::npos) data.resize(end);
  return data;
}

// One record per version subkey of baseKey whose folder value names an
// existing folder, appended in enumeration order.
template <class Record>
int32_t ScanRegisteredTools(const char* baseKey, const char* folderValue,
                            std::vector<std::unique_ptr<Record>>& list) {
  try {
    RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
    if (!registry.KeyExists(baseKey) || registry.OpenKeyReadOnly(baseKey) != ERROR_SUCCESS) {
      LogLine("Java tools: %s: not registered", baseKey);
      return kScanNoBaseKey;
    }
    std::vector<std::string> names;
    if (LONG rc = registry.GetKeyNames(names); rc != ERROR_SUCCESS) {
      LogFailure("listing the versions", baseKey, rc);
      return kScanInterrupted;
    }
    for (const std::string& name : names) {
      // The key is opened by its name as registered, blanks included; only
      // the record's Version is trimmed.
      const std::string key = baseKey + ("\\" + name);
      std::optional<std::string> folder = ReadToolFolder(key, folderValue);
      if (!folder) {
        LogLine("Java tools: %s: \"%s\" is not text; the scan stops here", key.c_str(),
                folderValue);
        return kScanInterrupted;  // records appended so far stay
      }
      if (FolderExists(*folder)) {
        list.push_back(std::make_unique<Record>(name, *folder));
        LogLine("Java tools: %s: folder \"%s\", status %d", key.c_str(), folder->c_str(),
                list.back()->Status);
      } else {
        LogLine("Java tools: %s: passed over, its folder \"%s\" does not exist", key.c_str(),
                folder->c_str());
      }
    }
    return kScanComplete;
  } catch (...) {
    LogCaught("Java tools: scanning the registry", baseKey);
    return kScanInterrupted;
  }
}

// Moves the records whose version qualifies from found to kept, in order,
// and destroys the others from the last to the first.
template <class Record, class Qualifies>
void KeepQualifying(const char* kind, std::vector<std::unique_ptr<Record>>& found,
                    std::vector<std::unique_ptr<Record>>& kept, Qualifies qualifies) {
  try {
    for (std::unique_ptr<Record>& record : found) {
      if (!record) continue;
      if (qualifies(record->Version)) {
        kept.push_back(std::move(record));
      } else {
        LogLine("Java tools: %s \"%s\" passed over: version too old or not a version",
                kind, record->Version.c_str());
      }
    }
  } catch (...) {
    // Out of memory while keeping: the records kept so far stand.
    LogCaught("Java tools: keeping the qualifying records", kind);
  }
  while (!found.empty()) found.pop_back();
}

}  // namespace

int32_t ScanJDKs(JdkList& list) {
  return ScanRegisteredTools(kJdkRegistryKey, kJdkHomeValue, list);
}

int32_t ScanJ2METoolkits(WtkList& list) {
  return ScanRegisteredTools(kJ2meToolkitKey, kWtkFolderValue, list);
}

int32_t ScanSunJavaToolkits(WtkList& list) {
  return ScanRegisteredTools(kSunJavaToolkitKey, kWtkFolderValue, list);
}

// Scan results are not looked at: a missing key simply leaves no records.
void BuildJDKList(JdkList& list, TSunJDK*& first) {
  first = nullptr;
  list.clear();
  JdkList found;
  ScanJDKs(found);
  KeepQualifying("JDK", found, list, JdkVersionQualifies);
  if (!list.empty()) first = list.front().get();
  if (first) {
    LogLine("Java tools: JDK picked: %s in \"%s\"", first->Version.c_str(), first->Home.c_str());
  } else {
    LogLine("Java tools: no JDK picked");
  }
}

void BuildWTKList(WtkList& list, TMobileWTK*& first) {
  first = nullptr;
  list.clear();
  WtkList found;
  // Toolkits under the older key come first, so they win a tie.
  ScanJ2METoolkits(found);
  ScanSunJavaToolkits(found);
  KeepQualifying("wireless toolkit", found, list, WtkVersionQualifies);
  if (!list.empty()) first = list.front().get();
  if (first) {
    LogLine("Java tools: wireless toolkit picked: %s in \"%s\"", first->Version.c_str(),
            first->Root.c_str());
  } else {
    LogLine("Java tools: no wireless toolkit picked");
  }
}

}  // namespace vx
