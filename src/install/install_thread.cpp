// The worker's lifecycle: thread, pause gate, halt, completion relay, and the
// step sequences of the install and rollback runs.
#include "install/install_thread.h"

#include <algorithm>

#include "common/files.h"
#include "common/product.h"

namespace vx {

namespace {

// Holds the worker's gate lock for one scope.
class GateLock {
 public:
  explicit GateLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~GateLock() { ReleaseSRWLockExclusive(&lock_); }
  GateLock(const GateLock&) = delete;
  GateLock& operator=(const GateLock&) = delete;

 private:
  SRWLOCK& lock_;
};

// Workers alive in this process, so a completion relay that arrives after its
// worker was destroyed is recognised and dropped.
SRWLOCK g_liveLock = SRWLOCK_INIT;
std::vector<const TVXInstallThread*>& LiveWorkers() {
  static std::vector<const TVXInstallThread*> workers;
  return workers;
}

void AddLiveWorker(const TVXInstallThread* worker) {
  GateLock guard(g_liveLock);
  LiveWorkers().push_back(worker);
}

void RemoveLiveWorker(const TVXInstallThread* worker) {
  GateLock guard(g_liveLock);
  auto& workers = LiveWorkers();
  workers.erase(std::remove(workers.begin(), workers.end(), worker), workers.end());
}

bool IsLiveWorker(const TVXInstallThread* worker) {
  GateLock guard(g_liveLock);
  const auto& workers = LiveWorkers();
  return std::find(workers.begin(), workers.end(), worker) != workers.end();
}

// Deletes the temporary package file when the guarded part of the run is
// left, however it is left.
class TempFileRemover {
 public:
  explicit TempFileRemover(const std::string& path) : path_(path) {}
  ~TempFileRemover() {
    if (!path_.empty() && FileExists(path_)) DeleteFileA(path_.c_str());
  }
  TempFileRemover(const TempFileRemover&) = delete;
  TempFileRemover& operator=(const TempFileRemover&) = delete;

 private:
  const std::string& path_;
};

}  // namespace

bool IsRegistryStepFailure(int32_t resultCode) {
  return resultCode == kFileAssociationFailed || resultCode == kExplorerChoicesFailed ||
         resultCode == kUninstallRecordFailed;
}

TVXInstallThread::TVXInstallThread(bool CreateSuspended, int32_t Mode, HWND WindowHandle,
                                   std::vector<std::string>* FolderList,
                                   std::vector<std::string>* FileList)
    : Mode(Mode),
      WindowHandle(WindowHandle),
      WindowsFolder(vx::WindowsFolder()),
      FolderList(FolderList),
      FileList(FileList) {
  AddLiveWorker(this);
  // Last: with CreateSuspended false the thread may run at once.
  started_ = !CreateSuspended;
  thread_.reset(CreateThread(nullptr, 0, &TVXInstallThread::ThreadEntry, this,
                             CreateSuspended ? CREATE_SUSPENDED : 0, nullptr));
  if (!thread_) started_ = false;
}

TVXInstallThread::~TVXInstallThread() {
  RemoveLiveWorker(this);
  if (thread_) {
    {
      GateLock guard(lock_);
      shuttingDown_ = true;
    }
    WakeAllConditionVariable(&changed_);
    // A thread that never started runs straight to its end now.
    if (!started_) ResumeThread(thread_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
  }
  if (!TempPackageFile.empty() && FileExists(TempPackageFile)) {
    DeleteFileA(TempPackageFile.c_str());
  }
  ItemLines.clear();
  while (!Items.empty()) Items.pop_back();  // last to first
  if (WindowHandle) PostMessageA(WindowHandle, WM_INST_FREED, 0, 0);
}

bool TVXInstallThread::Start() {
  if (!thread_ || started_) return false;
  started_ = true;
  return ResumeThread(thread_.get()) != static_cast<DWORD>(-1);
}

bool TVXInstallThread::Pause() {
  if (!thread_) return false;
  GateLock guard(lock_);
  ++pauseCount_;
  return true;
}

bool TVXInstallThread::Resume() {
  bool resumed = false;
  {
    GateLock guard(lock_);
    if (pauseCount_ > 0) {
      --pauseCount_;
      resumed = true;
    }
  }
  if (resumed) WakeAllConditionVariable(&changed_);
  return resumed;
}

bool TVXInstallThread::IsRunning() const {
  return thread_ && started_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

DWORD WINAPI TVXInstallThread::ThreadEntry(void* self) {
  static_cast<TVXInstallThread*>(self)->ThreadMain();
  return 0;
}

bool TVXInstallThread::ShuttingDown() {
  GateLock guard(lock_);
  return shuttingDown_;
}

void TVXInstallThread::ThreadMain() noexcept {
  if (ShuttingDown()) return;
  RunEnd end = RunEnd::Completed;
  // No failure leaves the thread: one that a step does not turn into a code
  // ends the run as a normal end, and the callback still follows.
  try {
    switch (Mode.load()) {
      case ModeInstall:
        end = RunInstall();
        break;
      case ModeRollback:
        end = RunRollback();
        break;
      default:
        break;
    }
  } catch (...) {
    end = RunEnd::Completed;
  }
  if (end != RunEnd::Completed) return;
  try {
    RelayCompletion();
  } catch (...) {
  }
}

bool TVXInstallThread::PassCheckPoint(CheckPoint point, int32_t item) {
  if (CheckPointObserver) CheckPointObserver(*this, point, item);
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) {
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  return !shuttingDown_;
}

bool TVXInstallThread::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  // The post happens under the gate lock, so once Pause() has returned no
  // message leaves a paused worker.
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) {
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  if (shuttingDown_) return false;
  return PostMessageA(WindowHandle, message, wParam, lParam) != FALSE;
}

void TVXInstallThread::Halt() {
  halted_.store(true);
  GateLock guard(lock_);
  while (!shuttingDown_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

void TVXInstallThread::RelayCompletion() {
  if (!OnTerminate) return;
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) {
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  if (shuttingDown_) return;
  awaitingCallback_ = true;
  // Without a window to carry the relay (none given, or already gone) there
  // is no thread to call back on: the run just ends.
  if (!WindowHandle || !PostMessageA(WindowHandle, WM_INST_ENDED, 0,
                                     reinterpret_cast<LPARAM>(this))) {
    awaitingCallback_ = false;
    return;
  }
  while (!callbackDone_ && !shuttingDown_) {
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  awaitingCallback_ = false;
}

bool TVXInstallThread::DeliverCompletion(LPARAM lParam) {
  auto* worker = reinterpret_cast<TVXInstallThread*>(lParam);
  if (!worker || !IsLiveWorker(worker)) return false;
  {
    // Once only, even if the callback pumps messages and a forged relay arrives.
    GateLock guard(worker->lock_);
    if (!worker->awaitingCallback_ || worker->callbackClaimed_) return false;
    worker->callbackClaimed_ = true;
  }
  worker->RunCompletionCallback();
  return true;
}

void TVXInstallThread::RunCompletionCallback() {
  // A copy: the callback may replace OnTerminate, or even destroy the worker.
  CompletionCallback callback = OnTerminate;
  try {
    if (callback) callback(*this);
  } catch (...) {
  }
  if (!IsLiveWorker(this)) return;
  {
    GateLock guard(lock_);
    callbackDone_ = true;
  }
  WakeAllConditionVariable(&changed_);
}

TVXInstallThread::RunEnd TVXInstallThread::RunInstall() {
  if (!PassCheckPoint(CheckPoint::BeforeExtraction)) return RunEnd::Abandoned;
  Post(WM_INST_STEP, 0, kStepExtracting);
  std::string extracted = TempPackageFile;
  ExtractPackage(extracted);
  TempPackageFile = extracted;
  if (!PassCheckPoint(CheckPoint::AfterExtraction)) return RunEnd::Abandoned;
  if (CancelRequested.load()) return RunEnd::Completed;  // the file stays until destruction

  {
    TempFileRemover remover(TempPackageFile);
    if (!FileExists(TempPackageFile)) {
      ResultCode = kNoPackageFile;
      return RunEnd::Completed;
    }
    if (PackageSize < kMinimumPackageSize) {
      ResultCode = kPackageTooSmall;
      return RunEnd::Completed;
    }
    if (InstallFolder.empty()) {
      ResultCode = kNoInstallFolder;
      return RunEnd::Completed;
    }
    if (!PassCheckPoint(CheckPoint::BeforeUnpack)) return RunEnd::Abandoned;
    Post(WM_INST_STEP, static_cast<WPARAM>(PackageSize), kStepCreatingFolders);
    switch (UnpackPackage(TempPackageFile, InstallFolder)) {
      case UnpackOutcome::Failed:
        Halt();
        return RunEnd::Halted;
      case UnpackOutcome::Abandoned:
        return RunEnd::Abandoned;
      case UnpackOutcome::Completed:
      case UnpackOutcome::Cancelled:
        break;
    }
    // The product's own settings file, which the package does not carry:
    // listed so that a removal deletes it too.
    try {
      if (FileList) FileList->push_back(InstallFolder + "\\" + kReopenIniName);
    } catch (...) {
    }
  }

  if (!PassCheckPoint(CheckPoint::AfterUnpack)) return RunEnd::Abandoned;
  if (CancelRequested.load()) return RunEnd::Completed;

  // From here on a cancel no longer stops the run; the steps below never
  // change ResultCode, and a failure they report ends the run at once.
  Post(WM_INST_STEP, static_cast<WPARAM>(PackageSize), kStepUpdatingRegistry);
  if (!PassCheckPoint(CheckPoint::BeforeProductSettings)) return RunEnd::Abandoned;
  // What the keys held before the first write, so a rollback can put it back.
  if (Prior && !Prior->keysCaptured) {
    Prior->keys = CaptureKeys(KeysTheInstallWrites());
    Prior->keysCaptured = true;
  }
  WriteProductSettings();
  if (!PassCheckPoint(CheckPoint::BeforeFileAssociation)) return RunEnd::Abandoned;
  if (WriteFileAssociation() != ERROR_SUCCESS) {
    ResultCode = kFileAssociationFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeExplorerFileExts)) return RunEnd::Abandoned;
  if (WriteExplorerFileExts() != ERROR_SUCCESS) {
    ResultCode = kExplorerChoicesFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeUninstallRecord)) return RunEnd::Abandoned;
  if (WriteUninstallRecord() != ERROR_SUCCESS) {
    ResultCode = kUninstallRecordFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeInstallLog)) return RunEnd::Abandoned;
  WriteInstallLog(InstallFolder);
  return RunEnd::Completed;
}

TVXInstallThread::RunEnd TVXInstallThread::RunRollback() {
  if (!PassCheckPoint(CheckPoint::BeforeRollback)) return RunEnd::Abandoned;
  try {
    if (FolderList && FileList) RemoveInstalledFiles(*FolderList, *FileList);
  } catch (...) {
  }
  // Only what the install run changed: keys that were there before it keep
  // what they held.
  try {
    if (Prior) RestorePriorState(*Prior);
  } catch (...) {
  }
  return RunEnd::Completed;
}

}  // namespace vx
