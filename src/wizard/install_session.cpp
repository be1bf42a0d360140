#include "wizard/install_session.h"

#include <utility>

#include "common/run_log.h"

namespace vx {

InstallSession::InstallSession(HWND window,
                               std::function<void(TVXInstallThread&)> prepareWorker)
    : window_(window), prepareWorker_(std::move(prepareWorker)) {}

TVXInstallThread* InstallSession::NewWorker(int32_t mode) {
  workers_.push_back(
      std::make_unique<TVXInstallThread>(true, mode, window_, &FFolderList, &FFileList));
  TVXInstallThread* worker = workers_.back().get();
  worker->Prior = &priorState_;
  worker->InstallFolder = installFolder_;
  return worker;
}

bool InstallSession::StartInstall(const std::string& installFolder, bool folderMustBeNew,
                                  std::optional<PickedTool> jdk,
                                  std::optional<PickedTool> toolkit, WorkerEnded ended) {
  installFolder_ = installFolder;
  try {
    FWorker = NewWorker(ModeInstall);
  } catch (...) {
    LogCaught("creating the install worker", installFolder_);
    return false;
  }
  try {
    FWorker->InstallFolderMustBeNew = folderMustBeNew;
    FWorker->SetJdkRecord(std::move(jdk));
    FWorker->SetWtkRecord(std::move(toolkit));
    FWorker->OnTerminate = [this, ended = std::move(ended)](TVXInstallThread& worker) {
      installEnded_ = true;
      ended(worker);
    };
    if (prepareWorker_) prepareWorker_(*FWorker);
  } catch (...) {
    LogCaught("setting up the install worker", installFolder_);
    return false;
  }
  if (FWorker->Start()) return true;
  LogFailure("starting the install worker", installFolder_, GetLastError());
  return false;
}

bool InstallSession::StartRollback(WorkerEnded ended) {
  try {
    TVXInstallThread* worker = NewWorker(ModeRollback);
    worker->OnTerminate = std::move(ended);
    if (prepareWorker_) prepareWorker_(*worker);
    if (worker->Start()) return true;
    LogFailure("starting the rollback", installFolder_, GetLastError());
  } catch (...) {
    LogCaught("starting the rollback", installFolder_);
  }
  return false;
}

bool InstallSession::Pause() { return FWorker && FWorker->IsRunning() && FWorker->Pause(); }

bool InstallSession::Resume() { return FWorker && FWorker->Resume(); }

bool InstallSession::RequestCancel() {
  if (!FWorker) return false;
  // Written while the worker is paused; it sees them at its next cancel check.
  FWorker->Mode = ModeCancelled;
  FWorker->CancelRequested = true;
  if (FWorker->Resume()) return true;
  LogFailure("resuming the install worker to cancel", installFolder_, GetLastError());
  FWorker = nullptr;
  return false;
}

void InstallSession::ForgetJournal() {
  FFolderList.clear();
  FFileList.clear();
}

}  // namespace vx
