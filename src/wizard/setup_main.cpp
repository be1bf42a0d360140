// SetupVXLite.exe: takes no command-line arguments and ends with exit code 0.
#include <windows.h>

#include "common/product.h"
#include "common/run_log.h"
#include "common/system.h"
#include "wizard/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  vx::RestrictDllSearchToSystemFolder();
  vx::StartRunLogWithContext(vx::kSetupLogTitle);
  vx::SetupStart start;
  start.showCommand = showCommand;
  const int exitCode = vx::SetupVXLite(start);
  vx::LogLine("setup ends with exit code %d", exitCode);
  vx::StopRunLog();
  return exitCode;
}
