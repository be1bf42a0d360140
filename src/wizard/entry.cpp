#include "wizard/entry.h"

#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"
#include "common/files.h"
#include "install/recovery.h"
#include "wizard/wizard_window.h"

namespace vx {

int SetupVXLite(const SetupStart& start) {
  // The shell link objects of the finish page need a single-threaded apartment.
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  // A run that died before it ended is undone first (a live one is left
  // alone: the single-instance rule below deals with its window).
  RecoverAbandonedRun(WindowsFolder());
  // Looked up before our own window exists, so it cannot find itself.
  HWND otherSetup = FindWindowA(kWizardClassName, nullptr);
  // The application title, kApplicationTitle, is the caption of every box.
  WizardOptions options;
  options.otherSetupWindow = otherSetup;
  options.interaction = start.interaction;
  try {
    std::unique_ptr<TfrmInstVXLite> window = TfrmInstVXLite::Create(options);
    if (!window) {
      LogFailure("creating the wizard window", kWizardClassName, GetLastError());
      return 0;
    }
    window->Show(start.showCommand);
    window->RunMessageLoop();
  } catch (...) {  // the process still ends with 0
    LogCaught("running the wizard window", kWizardClassName);
  }
  return 0;
}

}  // namespace vx
