// The exit code of a test-only setup that ended itself at its chosen point
// (kill_points.cpp).
#pragma once

#include <windows.h>

namespace vx {

inline constexpr UINT kKilledExitCode = 77;

}  // namespace vx
