// The setup program's entry: start-up, the wizard window and its message
// loop.
#pragma once

#include <windows.h>

#include "wizard/interaction.h"

namespace vx {

struct SetupStart {
  int showCommand = SW_SHOWNORMAL;
  // Boxes, folder dialog and shell calls; null: the real desktop ones.
  WizardInteraction* interaction = nullptr;
};

// Runs the setup program: COM for this thread, a look for another running
// setup wizard, the wizard window and its message loop until the window has
// closed. The result is the process's exit code, always 0.
int SetupVXLite(const SetupStart& start = {});

}  // namespace vx
