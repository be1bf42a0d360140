// The test-only setup that ends itself at one chosen point of an install:
// VX_KILL_AT="record:N" ends the process right after the N-th journal record
// is written (its step not yet taken), "check:N" at the N-th check point of
// the worker (the step before it taken, the next not yet recorded). The
// process ends with TerminateProcess, as Task Manager ends it: no handler,
// no destructor, no flush runs.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kill_points.h"

namespace vx {

void KillPointPassed(const char* kind) {
  static const std::string chosen = [] {
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA("VX_KILL_AT", value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
  }();
  static long passed[2] = {0, 0};  // records, check points
  const bool record = std::strcmp(kind, "record") == 0;
  const long count = InterlockedIncrement(&passed[record ? 0 : 1]);
  const size_t colon = chosen.find(':');
  if (colon == std::string::npos || chosen.compare(0, colon, kind) != 0) return;
  if (std::strtol(chosen.c_str() + colon + 1, nullptr, 10) == count) {
    TerminateProcess(GetCurrentProcess(), kKilledExitCode);
  }
}

}  // namespace vx
