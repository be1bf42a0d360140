// SetupVXLite.exe: takes no command-line arguments and ends with exit code 0.
#include <windows.h>

#include "wizard/entry.h"
#include "common/system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  vx::RestrictDllSearchToSystemFolder();
  vx::SetupStart start;
  start.showCommand = showCommand;
  return vx::SetupVXLite(start);
}
