// What the elevated programs load: a "version.dll" left beside the setup,
// beside the uninstall program or in the temporary folder is never called
// by their code, and the uninstall program's helper never runs from the
// temporary folder.
//
// Wine takes a DLL that is not one of its own only when told to; with
// "version" = "native,builtin" among its DLL overrides it looks beside the
// program first, as
// Windows does for a DLL that is not a known one. Wine's own user32 imports
// version.dll, so under Wine the planted copy is loaded into every such
// program before its first instruction whatever the program does (on
// Windows user32 does not); what tells the programs apart is who calls it,
// which the planted DLL writes down with every call.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "fixtures.h"
#include "installed_layout.h"
#include "program_runner.h"
#include "worker_fixtures.h"

namespace vx::test {
namespace {

constexpr DWORD kRunMs = 30000;

// Makes Wine look for version.dll as Windows looks for a DLL that is not a
// known one, in the programs started while it lives (these tests never run
// beside others).
class SearchAsWindows {
 public:
  SearchAsWindows() {
    RegCreateKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    key_.put(), nullptr);
    RegSetValueExA(key_.get(), "version", 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                   sizeof "native,builtin");
  }
  ~SearchAsWindows() {
    if (key_) RegDeleteValueA(key_.get(), "version");
  }
  bool Set() const { return static_cast<bool>(key_); }

 private:
  static constexpr char kOverridesKey[] = "Software\\Wine\\DllOverrides";
  RegKey key_;
};

std::vector<std::string> Lines(const std::string& path) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadFileBytes(path, text)) return lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class PlantedDllTest : public ::testing::Test {
 protected:
  // Leaves the planted DLL in the folder as "version.dll"; its marks go to
  // "planted.log" there.
  void Plant(const std::string& folder) {
    ASSERT_TRUE(CreateFolderPath(folder).value_or(false)) << folder;
    ASSERT_TRUE(CopyFileA(BuildPath(VX_PLANTED_DLL).c_str(), (folder + "\\version.dll").c_str(),
                          FALSE))
        << folder;
  }
  std::vector<std::string> Marks(const std::string& folder) {
    return Lines(folder + "\\planted.log");
  }
  // Marks of calls that came from the given program's own code.
  static std::vector<std::string> CallsFrom(const std::vector<std::string>& marks,
                                            const std::string& program) {
    std::vector<std::string> calls;
    const std::string name = program.substr(program.rfind('\\') + 1);
    for (const std::string& mark : marks) {
      if (mark.rfind("call ", 0) != 0) continue;
      const std::string caller = mark.substr(mark.rfind('\\') + 1);
      if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, caller.c_str(), -1, name.c_str(), -1) ==
          CSTR_EQUAL) {
        calls.push_back(mark);
      }
    }
    return calls;
  }
  std::string CopyProgram(const std::string& from, const std::string& folder) {
    std::string to = folder + from.substr(from.rfind('\\'));
    EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << to;
    return to;
  }

  void SetUp() override { ASSERT_TRUE(searchAsWindows_.Set()); }

  ScratchFolder scratch_;
  SearchAsWindows searchAsWindows_;
};

TEST_F(PlantedDllTest, TheMarksCatchAProgramThatCallsThePlantedDll) {
  // Without this the other tests could not fail: a program that imports
  // version.dll by name is caught calling the planted copy.
  const std::string folder = scratch_ / "careless";
  Plant(folder);
  const std::string program = CopyProgram(BuildPath(VX_CARELESS_PROGRAM), folder);
  StartedProgram started;
  DWORD exitCode = 1;
  ASSERT_TRUE(StartProgram(program, "", started));
  ASSERT_TRUE(WaitForExit(started, kRunMs, exitCode));
  const std::vector<std::string> marks = Marks(folder);
  ASSERT_FALSE(marks.empty());
  EXPECT_EQ(marks.front().rfind("load ", 0), 0u);
  EXPECT_FALSE(CallsFrom(marks, program).empty()) << ::testing::PrintToString(marks);
}

TEST_F(PlantedDllTest, TheSetupNeverCallsAVersionDllBesideIt) {
  // The setup as a user keeps it, in a folder of downloads.
  const std::string downloads = scratch_ / "Downloads";
  Plant(downloads);
  const std::string setup = CopyProgram(BuildPath(VX_SETUP_EXE), downloads);
  StartedProgram started;
  ASSERT_TRUE(StartProgram(setup, "", started));
  // The first page shows the setup's own version, read at its start.
  ASSERT_TRUE(WaitForWindow(kWizardClassName, started.id, kRunMs));
  TerminateProcess(started.process.get(), 0);
  WaitForSingleObject(started.process.get(), kRunMs);
  // Neither loaded nor called: the setup imports no such DLL and loads
  // none by name from anywhere but the system folder.
  const std::vector<std::string> marks = Marks(downloads);
  EXPECT_TRUE(marks.empty()) << ::testing::PrintToString(marks);
}

TEST_F(PlantedDllTest, TheUninstallProgramAndItsHelperNeverRunAPlantedDll) {
  InstalledLayout layout(scratch_ / "VantorexLite");
  // Without a Windows folder at install time the program stays in the
  // install folder and its log names it: it removes itself with its helper.
  ASSERT_TRUE(layout.Create(false));
  const std::string installFolder = layout.InstallFolder();
  const std::string temp = scratch_ / "temp";
  Plant(installFolder);
  Plant(temp);
  std::optional<TempFolderOverride> tempOverride;
  tempOverride.emplace(temp);

  StartedProgram started;
  DWORD exitCode = 1;
  ASSERT_TRUE(StartProgram(layout.UninstallProgram(), kSilentSwitch, started));
  ASSERT_TRUE(WaitForExit(started, kRunMs, exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(kUninstallExitDone));
  EXPECT_TRUE(WaitUntilGone(layout.UninstallProgram(), kRunMs));
  tempOverride.reset();

  const std::vector<std::string> beside = Marks(installFolder);
  EXPECT_TRUE(beside.empty()) << ::testing::PrintToString(beside);
  // Nothing ran from the temporary folder itself, so nothing took its DLL.
  EXPECT_TRUE(Marks(temp).empty()) << ::testing::PrintToString(Marks(temp));
  // The helper ran from a private folder of its own below it.
  WIN32_FIND_DATAA entry{};
  FindHandle search(FindFirstFileA((temp + "\\" + kUninstallHelperFolderPrefix + "*").c_str(), &entry));
  ASSERT_TRUE(search);
  EXPECT_TRUE(FileExists(temp + "\\" + entry.cFileName + "\\" + kUninstallHelperName));
}

}  // namespace
}  // namespace vx::test
