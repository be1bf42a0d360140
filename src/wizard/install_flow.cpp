// The install run as the wizard's controller sees it: starting the run and
// its rollback through the session (install_session.h), what the controller
// does when a worker has ended, and the messages through which the install
// worker reports.
//
// The window never waits for a worker: everything a worker tells the window
// arrives as a posted message and is handled in the order posted, also while
// one of the window's modal boxes is open.
#include "wizard/wizard_window.h"

#include <commctrl.h>

#include <string>

#include "common/files.h"
#include "common/product.h"
#include "common/run_log.h"
#include "wizard/folder_check.h"
#include "wizard/format.h"

namespace vx {

namespace {

// Caption of the progress box for a step code; null for a code without one.
const char* StepCaption(int32_t code) {
  switch (code) {
    case kStepExtracting: return text::kStepExtracting;
    case kStepCreatingFolders: return text::kStepCreatingFolders;
    case kStepCopyingFiles: return text::kStepCopyingFiles;
    case kStepUpdatingRegistry: return text::kStepUpdatingRegistry;
    case kStepCopyingSamples: return text::kStepCopyingSamples;
    case kStepCreatingShortcuts: return text::kStepCreatingShortcuts;
    case kStepCleaningDisk: return text::kStepCleaningDisk;
    case kStepRemoving: return text::kStepRemoving;
    default: return nullptr;
  }
}

}  // namespace

int ProgressBarPosition(uint64_t bytesWritten, int64_t totalSize) {
  if (bytesWritten <= 100 || totalSize <= 100) return -1;
  return static_cast<int>(bytesWritten / static_cast<uint64_t>(totalSize / 100));
}

// ---------------------------------------------------------------- workers

void TfrmInstVXLite::StartInstall() {
  view_.SetText(Ctl::gbProgress, text::kExtractingPackage);
  // The folder the folder page accepted, as its check normalized it.
  FInstallDir = acceptedFolder_.folder;
  InstallRequest request{FInstallDir, !acceptedFolder_.existed, std::nullopt, std::nullopt};
  if (FFirstJDK) request.jdk = PickedTool{FFirstJDK->Home, FFirstJDK->Version};
  if (FFirstWTK) request.toolkit = PickedTool{FFirstWTK->Root, FFirstWTK->Version};
  // Without a worker page 4 stays in state 50; the session traced why.
  session_->StartInstall(std::move(request),
                         [this](TVXInstallThread& worker) { InstallTerminated(worker); });
}

bool TfrmInstVXLite::StartRollback(AfterRollback after) {
  afterRollback_ = after;
  return session_->StartRollback(
      [this](TVXInstallThread& worker) { RollbackTerminated(worker); });
}

bool TfrmInstVXLite::InstallRunOver() const {
  return session_->InstallEnded() || session_->InstallHalted() || FState == kStateFailed;
}

void TfrmInstVXLite::InstallTerminated(TVXInstallThread& worker) {
  const int32_t mode = worker.Mode.load();
  const int32_t resultCode = worker.ResultCode;
  // Handled once this notification has returned.
  if (!hwnd_ || !PostMessageA(hwnd_, WM_INST_DONE, static_cast<WPARAM>(mode),
                              static_cast<LPARAM>(resultCode))) {
    LogFailure("posting the install's end to the window", std::to_string(resultCode),
               GetLastError());
    FState = kStateEnded;
    view_.SetText(Ctl::lblFinal, text::kUserCancelled);
  }
}

void TfrmInstVXLite::RollbackTerminated(TVXInstallThread& worker) {
  FState = kStateEnded;
  LogLine("rollback ended: mode %d, code %d", static_cast<int>(worker.Mode.load()),
          static_cast<int>(worker.ResultCode));
  if (worker.Mode.load() != ModeRollback || afterRollback_ == AfterRollback::CloseWindow) {
    Close();
    return;
  }
  // After a failed step the finish text already says which code ended it.
  if (afterRollback_ == AfterRollback::ShowCancelled) {
    view_.SetText(Ctl::lblFinal, text::kUserCancelled);
  }
  ShowFinishPage();
}

// ---------------------------------------------------------------- worker messages

void TfrmInstVXLite::InstProgress(WPARAM bytesWritten, LPARAM item) {
  try {
    const int position = ProgressBarPosition(bytesWritten, FTotalSize);
    if (position >= 0) {
      HWND bar = Control(Ctl::pbarInstall);
      SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
      UpdateWindow(bar);
    }
  } catch (...) {
    LogCaught("moving the progress bar", std::to_string(bytesWritten));
  }
  // The worker's item list is complete, each name final, before the first
  // progress message is posted.
  const TVXInstallThread* worker = session_->Install();
  if (worker && item >= 0 && static_cast<size_t>(item) < worker->Items.size()) {
    view_.SetText(Ctl::lblFile, worker->Items[static_cast<size_t>(item)].FileName);
  } else {
    view_.SetText(Ctl::lblFile, std::string());
  }
}

void TfrmInstVXLite::InstStep(int32_t code) {
  FState = code;
  const char* caption = StepCaption(code);
  if (!caption) return;
  view_.SetText(Ctl::gbProgress, caption);
  view_.SetText(Ctl::lblFile, std::string());
  // Set by the worker before it posts this step.
  if (code == kStepCreatingFolders && session_->Install()) {
    FTotalSize = session_->Install()->PackageSize;
  }
}

void TfrmInstVXLite::InstError(int32_t code) {
  // The worker has halted; page 4 stays and "E&xit" closes without a question.
  FState = kStateFailed;
  LogLine("install halted with error code %d", static_cast<int>(code));
  interaction_.ShowBox(hwnd_, FormatText(text::kInstallErrorFormat, code), BoxKind::Error);
}

void TfrmInstVXLite::InstDone(int32_t mode, int32_t resultCode) {
  LogLine("install run ended: mode %d, code %d", static_cast<int>(mode),
          static_cast<int>(resultCode));
  try {
    if (mode == ModeInstall) {
      FState = kStateFinished;
      const std::string product = FInstallDir + "\\" + kProductExeName;
      if (RunMustBeUndone(resultCode)) {
        // The product cannot be removed without its record: undo the run,
        // then show the code on page 5, with no shortcut made.
        FState = kStateUndoing;
        view_.SetText(Ctl::lblFinal, FormatText(text::kFinishedWithCodeFormat, resultCode));
        LogLine("no shortcuts made: the registry step failed; the install is undone");
        if (StartRollback(AfterRollback::ShowFailure)) return;
        FState = kStateFinished;
      } else if (resultCode == kPackageDamaged) {
        LogLine("no shortcuts made: the package is damaged");
        view_.SetText(Ctl::lblFinal, FormatText(text::kPackageDamagedFormat, resultCode));
      } else if (resultCode != kInstallOk) {
        LogLine("no shortcuts made: the install ended with code %d", static_cast<int>(resultCode));
        view_.SetText(Ctl::lblFinal, FormatText(text::kFinishedWithCodeFormat, resultCode));
      } else if (FileExists(product)) {
        PostMessageA(hwnd_, WM_INST_STEP, 0, kStepCreatingShortcuts);
        CreateShortcuts(FInstallDir);
        view_.SetText(Ctl::lblFinal, text::kFinished);
      } else {
        LogLine("no shortcuts made: \"%s\" is missing", product.c_str());
        view_.SetText(Ctl::lblFinal,
                      FormatText(text::kFinishedWithCodeFormat, kProductExeMissingCode));
      }
      ShowFinishPage();
    } else if (mode == ModeCancelled) {
      FState = kStateUndoing;
      view_.SetText(Ctl::lblFinal, text::kCancelledByUserPrefix + std::to_string(resultCode));
      StartRollback();  // page 4 stays until it has ended
    } else {
      FState = kStateEnded;
      view_.SetText(Ctl::lblFinal, text::kUserCancelled);
    }
  } catch (...) {
    LogCaught("ending the install run", FInstallDir);
  }
}

}  // namespace vx
