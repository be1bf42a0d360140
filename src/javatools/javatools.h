// Java toolchain detection: the JDKs and wireless toolkits registered under
// HKEY_LOCAL_MACHINE, their validation, and the picks the wizard hands on.
//
// Everything here only reads the registry and the file system, runs on the
// window's thread while the wizard window is created, and never throws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Record status codes shared by both record kinds.
inline constexpr int32_t kJavaToolUsable = 0;
inline constexpr int32_t kJavaToolUnexpected = -1;
inline constexpr int32_t kJavaToolNoDot = -3;
inline constexpr int32_t kJavaToolMajorNotNumber = -4;
inline constexpr int32_t kJavaToolMajorTooLow = -5;
inline constexpr int32_t kJdkMinorNotDigit = -6;
inline constexpr int32_t kJdkOlderThan14 = -1414;
inline constexpr int32_t kJdkNoCompiler = -12;
inline constexpr int32_t kWtkNoPreverifier = -12;
// The toolkit's own emulator runs the device profiles the product lists, so
// a toolkit without "bin\emulator.exe" is not counted as usable either.
inline constexpr int32_t kWtkNoEmulator = -13;
inline constexpr int32_t kWtkNoCldcLibrary = -14;
inline constexpr int32_t kWtkNoMidpLibrary = -15;

// Scan results.
inline constexpr int32_t kScanComplete = 0;
inline constexpr int32_t kScanNoBaseKey = -1;
inline constexpr int32_t kScanInterrupted = -11;

// One registered Java Development Kit.
class TSunJDK {
 public:
  // Stores both texts without surrounding blanks and control characters and
  // validates once; the outcome is left in Status.
  TSunJDK(std::string_view version, std::string_view home);

  // Recomputes Status from Version and Home; true exactly when it ends at 0.
  bool Validate();

  int32_t Status = 0;
  std::string Version;  // the registry subkey name, e.g. "1.6.0_20"
  std::string Home;     // the JDK folder ("JavaHome")
};

// One registered Java wireless toolkit.
class TMobileWTK {
 public:
  // Stores both texts trimmed and validates once; a toolkit that passes gets
  // its device list, one that fails has none at all.
  TMobileWTK(std::string_view version, std::string_view root);

  // Recomputes Status from Version and Root; true exactly when it ends at 0.
  bool Validate();
  // Rebuilds Devices when the record has a device list; no-op otherwise.
  void RefreshDevices();
  // Appends the device profile names found under folder's "wtklib\devices"
  // to the list, in enumeration order. Nothing happens without a list, or when
  // the folder or its devices folder does not exist.
  static void ListDevices(const std::string& folder, std::vector<std::string>* devices);

  int32_t Status = 0;
  std::string Version;       // the registry subkey name, e.g. "2.5.2_01"
  std::string Root;          // the toolkit folder ("InstallDir")
  int32_t DeviceState1 = 0;  // reset whenever the device list is rebuilt
  int32_t DeviceState2 = 0;
  // Device profile names; present exactly when the first validation passed.
  std::optional<std::vector<std::string>> Devices;
};

using JdkList = std::vector<std::unique_ptr<TSunJDK>>;
using WtkList = std::vector<std::unique_ptr<TMobileWTK>>;

// Registry scans: append one record per registered tool whose folder exists,
// in enumeration order; entries already in the list stay. Results:
// kScanComplete, kScanNoBaseKey (list unchanged) or kScanInterrupted (records
// appended before the failure stay).
int32_t ScanJDKs(JdkList& list);
int32_t ScanJ2METoolkits(WtkList& list);
int32_t ScanSunJavaToolkits(WtkList& list);

// The version part of validation, without the file tests: kJavaToolUsable or
// the code of the last failed version test.
int32_t JdkVersionStatus(std::string_view version);
int32_t WtkVersionStatus(std::string_view version);

// Byte-string comparison of version texts: unsigned bytes from the left, the
// first difference decides, a prefix is smaller. Negative, 0 or positive.
int CompareVersionText(std::string_view left, std::string_view right);
// True when the version text is not smaller than "1.5" (JDK) or "2.5" (toolkit).
bool JdkVersionQualifies(std::string_view version);
bool WtkVersionQualifies(std::string_view version);

// The prerequisite check: empties the list, scans, keeps the records whose
// version qualifies (Status is not consulted) in scan order, and points first
// at the first kept record, or at nothing. The toolkit list holds the
// "J2ME Wireless Toolkit" registrations before the "Sun Java Wireless Toolkit"
// ones. The list owns the records; first is borrowed from it.
void BuildJDKList(JdkList& list, TSunJDK*& first);
void BuildWTKList(WtkList& list, TMobileWTK*& first);

}  // namespace vx
