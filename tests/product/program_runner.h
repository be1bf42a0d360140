// Runs the product's programs as separate processes and looks at what they
// show: their windows, the message boxes they ask or report with.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace vx::test {

// Full Windows path of one of the built programs.
std::string BuiltProgram(const char* name);
// A path the build gives (a Unix path) as Wine's programs see it.
std::string BuildPath(std::string path);

// A started program; the process handle is kept to wait for it. A program
// still running when the object goes (a test that failed half-way) is ended,
// so it cannot hold on to the prefix.
struct StartedProgram {
  StartedProgram() = default;
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  ~StartedProgram();

  KernelHandle process;
  DWORD id = 0;
};
// Starts "program" args; working folder: the program's own.
bool StartProgram(const std::string& program, const std::string& arguments, StartedProgram& out);
// Waits for the process to end; false on timeout. exitCode gets its code.
bool WaitForExit(const StartedProgram& started, DWORD timeoutMs, DWORD& exitCode);

// Polls until a top-level window of the class exists (of that process, when
// processId is not 0); null on timeout.
HWND WaitForWindow(const char* className, DWORD processId, DWORD timeoutMs);
// The text of a window of any process (WM_GETTEXT, so it works across
// processes), in Windows-1252.
std::string WindowText(HWND window);

// Waits for a message box of the process, returns its text and clicks the
// button (IDYES, IDNO, IDOK). Empty text when no box came.
std::string AnswerMessageBox(DWORD processId, int button, DWORD timeoutMs);

// Waits until no uninstall helper (the copy an uninstall leaves running to
// delete the uninstall program once it has ended) is running any more, so
// that a late deletion cannot hit the next test's files; true when none is.
bool WaitForUninstallHelpers(DWORD timeoutMs);

// Polls until the file is gone; true when it is.
bool WaitUntilGone(const std::string& path, DWORD timeoutMs);

}  // namespace vx::test
