// One install run of the wizard and its undoing: the install and rollback
// workers, the run's journal (the folders and files it made, and the registry
// keys as they stood before its first write), and the one way to cancel it.
//
// The wizard's controller owns one session and never touches a worker or the
// journal itself: it starts the run, asks for a pause, a resume or a cancel,
// starts the rollback, and hears of each worker's end on its own thread.
// Everything here runs on the window's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/install_thread.h"

namespace vx {

class InstallSession {
 public:
  // A worker's run has ended; called on the window's thread.
  using WorkerEnded = std::function<void(TVXInstallThread& worker)>;

  // window: where the workers post their messages. prepareWorker runs on
  // every worker before it starts (test programs give it their own package
  // module or check-point observer); may be empty.
  InstallSession(HWND window, std::function<void(TVXInstallThread&)> prepareWorker);
  // The workers go first (each ends its thread, without a callback), then
  // the journal they wrote to.
  ~InstallSession() = default;
  InstallSession(const InstallSession&) = delete;
  InstallSession& operator=(const InstallSession&) = delete;

  // Starts the install run (mode 100) the request describes; false when no
  // worker could be made or started.
  bool StartInstall(InstallRequest request, WorkerEnded ended);
  // Starts the rollback (mode 200) of what the journal holds; false when it
  // could not be started.
  bool StartRollback(WorkerEnded ended);

  // For the cancel question: pauses a running install worker (true when it
  // was paused here), resumes it, or cancels it (mode 210 and its cancel
  // request, then resumed; its end leads to the rollback). Without an
  // install worker they do nothing and return false.
  bool Pause();
  bool Resume();
  bool RequestCancel();

  // The install worker's completion has arrived.
  bool InstallEnded() const { return installEnded_; }
  // The install worker halted after an unpack failure.
  bool InstallHalted() const { return FWorker && FWorker->IsHalted(); }
  // The install worker, or null.
  const TVXInstallThread* Install() const { return FWorker; }

  // What the install run made and changed so far.
  const InstallJournal& Journal() const { return journal_; }
  // Forgets the journal (a new wizard, or its end).
  void ForgetJournal() { journal_.Clear(); }

 private:
  // A worker made paused on the journal, kept by the session.
  TVXInstallThread* NewWorker(int32_t mode);

  HWND window_;
  std::function<void(TVXInstallThread&)> prepareWorker_;
  // The install run's request; the rollback worker gets it too.
  InstallRequest request_;
  // Declared before the workers, which write to it, so that they go first.
  InstallJournal journal_;
  // Every worker the session made; none is destroyed while the session lives.
  std::vector<std::unique_ptr<TVXInstallThread>> workers_;
  TVXInstallThread* FWorker = nullptr;  // the install worker, owned by workers_
  bool installEnded_ = false;
};

}  // namespace vx
