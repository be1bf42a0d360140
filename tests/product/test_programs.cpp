// The product's main program and its launcher, run as the shell runs them.
#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "fixtures.h"
#include "program_runner.h"
#include "uninstall_steps.h"

namespace vx::test {
namespace {

constexpr DWORD kRunMs = 30000;

// The two programs in a folder of their own, as installed.
class ProductProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(FindWindowA(kProductWindowClassName, nullptr)) << "a product window is open";
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    for (const char* name : {kProductExeName, kLauncherExeName}) {
      ASSERT_TRUE(CopyFileA(BuiltProgram(name).c_str(), (folder_ + "\\" + name).c_str(), FALSE));
    }
  }
  void TearDown() override {
    if (HWND window = FindWindowA(kProductWindowClassName, nullptr)) CloseAndWait(window);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSettingsKeys[0]);
  }

  std::string Project(const char* name, int lines) {
    std::string path = scratch_ / name;
    std::string content;
    for (int line = 1; line <= lines; ++line) {
      content += std::string(name) + " line " + std::to_string(line) + "\r\n";
    }
    EXPECT_TRUE(WriteFileBytes(path, content));
    return path;
  }

  static std::string ViewText(HWND window) {
    return WindowText(FindWindowExA(window, nullptr, "Edit", nullptr));
  }

  static void CloseAndWait(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.get(), kRunMs), WAIT_OBJECT_0);
  }

  ScratchFolder scratch_;
  std::string folder_ = scratch_ / "Vantorex Lite";
};

int CountWindows(const char* className) {
  int count = 0;
  for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window;
       window = FindWindowExA(nullptr, window, className, nullptr)) {
    ++count;
  }
  return count;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The product's view once it shows the part: the window exists a moment
// before its view is filled. The last text read, whatever it holds.
std::string ViewTextShowing(HWND window, const std::string& part, DWORD timeoutMs) {
  const DWORD started = GetTickCount();
  std::string text = WindowText(FindWindowExA(window, nullptr, "Edit", nullptr));
  while (!Has(text, part) && GetTickCount() - started < timeoutMs) {
    Sleep(50);
    text = WindowText(FindWindowExA(window, nullptr, "Edit", nullptr));
  }
  return text;
}

TEST_F(ProductProgramsTest, MainProgramShowsTheSettingsAndTheProject) {
  const std::string system = kSettingsKeys[kSettingsKeySystem];
  ASSERT_TRUE(WriteRegistryString(system, "OpenProject", folder_ + "\\Projects"));
  ASSERT_TRUE(WriteRegistryString(system, "JavaHome", "C:\\Java\\jdk1.6.0_45"));
  ASSERT_TRUE(WriteRegistryString(system, "JavaVersion", "1.6"));
  ASSERT_TRUE(WriteRegistryString(system, "RootWTK", "C:\\WTK2.5.2"));
  const std::string project = Project("My Game.vx5", kProjectPreviewLines + 2);

  StartedProgram started;
  ASSERT_TRUE(StartProgram(folder_ + "\\" + kProductExeName, "\"" + project + "\"", started));
  HWND window = WaitForWindow(kProductWindowClassName, started.id, kRunMs);
  ASSERT_TRUE(window);
  EXPECT_EQ(WindowText(window), kProductTitle);
  std::string shown = ViewTextShowing(window, "My Game.vx5 line 1", kRunMs);
  EXPECT_TRUE(Has(shown, text::kProductFolderLabel + folder_ + "\r\n")) << shown;
  EXPECT_TRUE(Has(shown, "  OpenProject = " + folder_ + "\\Projects\r\n")) << shown;
  EXPECT_TRUE(Has(shown, "  JavaHome = C:\\Java\\jdk1.6.0_45\r\n")) << shown;
  EXPECT_TRUE(Has(shown, "  JavaVersion = 1.6\r\n")) << shown;
  EXPECT_TRUE(Has(shown, "  RootWTK = C:\\WTK2.5.2\r\n")) << shown;
  EXPECT_TRUE(Has(shown, std::string("  WTKVersion = ") + text::kProductValueNotSet)) << shown;
  EXPECT_TRUE(Has(shown, std::string(text::kProductProjectLabel) + "My Game.vx5")) << shown;
  EXPECT_TRUE(Has(shown, "  My Game.vx5 line 1\r\n")) << shown;
  const std::string last = "My Game.vx5 line " + std::to_string(kProjectPreviewLines) + "\r\n";
  const std::string beyond = "My Game.vx5 line " + std::to_string(kProjectPreviewLines + 1);
  EXPECT_TRUE(Has(shown, last)) << shown;
  EXPECT_FALSE(Has(shown, beyond)) << shown;
  CloseAndWait(window);
}

TEST_F(ProductProgramsTest, MainProgramWithoutSettingsOrProjectSaysSo) {
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kSettingsKeys[1]);
  StartedProgram started;
  ASSERT_TRUE(StartProgram(folder_ + "\\" + kProductExeName, "", started));
  HWND window = WaitForWindow(kProductWindowClassName, started.id, kRunMs);
  ASSERT_TRUE(window);
  std::string shown = ViewTextShowing(window, text::kProductNoProject, kRunMs);
  EXPECT_TRUE(Has(shown, text::kProductSettingsMissing)) << shown;
  EXPECT_TRUE(Has(shown, text::kProductNoProject)) << shown;
  CloseAndWait(window);
}

TEST_F(ProductProgramsTest, LauncherStartsTheProductThenHandsTheRunningOneAProject) {
  const std::string first = Project("first.vx5", 2);
  const std::string second = Project("second.vx5", 2);
  const std::string launcher = folder_ + "\\" + kLauncherExeName;

  StartedProgram launched;
  DWORD exitCode = 1;
  ASSERT_TRUE(StartProgram(launcher, "\"" + first + "\"", launched));
  EXPECT_TRUE(WaitForExit(launched, kRunMs, exitCode));
  EXPECT_EQ(exitCode, 0u);
  HWND window = WaitForWindow(kProductWindowClassName, 0, kRunMs);
  ASSERT_TRUE(window);
  const std::string firstView = ViewTextShowing(window, "first.vx5 line 1", kRunMs);
  EXPECT_TRUE(Has(firstView, "first.vx5 line 1")) << firstView;
  EXPECT_TRUE(Has(firstView, text::kProductFolderLabel + folder_)) << firstView;

  StartedProgram handedOver;
  ASSERT_TRUE(StartProgram(launcher, "\"" + second + "\"", handedOver));
  EXPECT_TRUE(WaitForExit(handedOver, kRunMs, exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(CountWindows(kProductWindowClassName), 1);
  std::string shown = ViewTextShowing(window, "second.vx5 line 2", kRunMs);
  EXPECT_TRUE(Has(shown, std::string(text::kProductProjectLabel) + "second.vx5 (" + second + ")"))
      << shown;
  EXPECT_TRUE(Has(shown, "second.vx5 line 2")) << shown;
  CloseAndWait(window);
}

}  // namespace
}  // namespace vx::test
