#include "wizard/install_session.h"

#include <utility>

#include "common/run_log.h"

namespace vx {

InstallSession::InstallSession(HWND window,
                               std::function<void(TVXInstallThread&)> prepareWorker)
    : window_(window), prepareWorker_(std::move(prepareWorker)) {}

TVXInstallThread* InstallSession::NewWorker(int32_t mode) {
  workers_.push_back(
      std::make_unique<TVXInstallThread>(true, mode, window_, &journal_, request_));
  return workers_.back().get();
}

bool InstallSession::StartInstall(InstallRequest request, WorkerEnded ended) {
  request_ = std::move(request);
  try {
    FWorker = NewWorker(ModeInstall);
  } catch (...) {
    LogCaught("creating the install worker", request_.installFolder);
    return false;
  }
  try {
    FWorker->OnTerminate = [this, ended = std::move(ended)](TVXInstallThread& worker) {
      installEnded_ = true;
      ended(worker);
    };
    if (prepareWorker_) prepareWorker_(*FWorker);
  } catch (...) {
    LogCaught("setting up the install worker", request_.installFolder);
    return false;
  }
  if (FWorker->Start()) return true;
  LogFailure("starting the install worker", request_.installFolder, GetLastError());
  return false;
}

bool InstallSession::StartRollback(WorkerEnded ended) {
  try {
    TVXInstallThread* worker = NewWorker(ModeRollback);
    worker->OnTerminate = std::move(ended);
    if (prepareWorker_) prepareWorker_(*worker);
    if (worker->Start()) return true;
    LogFailure("starting the rollback", request_.installFolder, GetLastError());
  } catch (...) {
    LogCaught("starting the rollback", request_.installFolder);
  }
  return false;
}

bool InstallSession::Pause() { return FWorker && FWorker->IsRunning() && FWorker->Pause(); }

bool InstallSession::Resume() { return FWorker && FWorker->Resume(); }

bool InstallSession::RequestCancel() {
  if (!FWorker) return false;
  // Given while the worker is paused; it sees it at its next cancel check.
  FWorker->RequestCancel();
  if (FWorker->Resume()) return true;
  LogFailure("resuming the install worker to cancel", request_.installFolder, GetLastError());
  FWorker = nullptr;
  return false;
}

}  // namespace vx
