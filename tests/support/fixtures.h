// Test fixtures shared by the Windows test programs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace vx::test {

// Redirects HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER of the
// whole process into subkeys of a fresh scratch key under the real
// HKEY_CURRENT_USER\Software\VantorexSetupTests, and removes it afterwards.
class RegistryOverride {
 public:
  RegistryOverride();
  ~RegistryOverride();
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;

  bool ok() const { return ok_; }
  // Path of the scratch key under the real HKEY_CURRENT_USER.
  const std::string& ScratchPath() const { return scratch_; }

 private:
  std::string scratch_;
  HKEY machine_ = nullptr;
  HKEY classes_ = nullptr;
  HKEY user_ = nullptr;
  bool ok_ = false;
};

// A fresh folder under the temporary folder, removed with everything in it
// (read-only files too) when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, without a trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Removes a folder tree; true when it is gone afterwards. A link inside is
// removed itself, not followed.
bool RemoveTree(const std::string& path);
// Writes a file with the given bytes, creating nothing else.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Puts a symbolic link at link (a path that does not exist yet) to the folder
// or file target, as another program of the user could: a Unix link, made
// by the Unix ln that Wine starts. Windows programs see it as a reparse
// point (a folder link: attributes 0x410). True when the link is there.
bool PlantLink(const std::string& link, const std::string& target);
// Removes such a link itself, never what it points to.
bool RemoveLink(const std::string& link);

// Fixture for tests that use the registry.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(registry_.ok()) << "registry redirection failed"; }
  RegistryOverride registry_;
};

// Fixture for tests that use the registry and real files.
class RegistryAndFilesTest : public RegistryTest {
 protected:
  ScratchFolder scratch_;
};

// Points TMP and TEMP at a folder while it lives (GetTempPathA follows TMP,
// then TEMP) and gives both their earlier values back.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::string& folder);
  ~TempFolderOverride();
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  std::string savedTmp_, savedTemp_;
};

}  // namespace vx::test
