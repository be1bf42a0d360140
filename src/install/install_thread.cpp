// The worker's lifecycle: thread, pause gate, halt, completion relay, and the
// step sequences of the install and rollback runs.
#include "install/install_thread.h"
#include "install/rollback.h"

#include <algorithm>

#include "common/files.h"
#include "common/product.h"
#include "common/run_log.h"
#include "common/text.h"

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

// Workers alive in this process, each under a number never given twice. The
// completion relay carries the number, not the address: a relay that
// arrives after its worker was destroyed is dropped, and a worker the heap
// places where a destroyed one lived is never taken for it.
struct LiveWorker {
  uint32_t serial;
  TVXInstallThread* worker;
};
SRWLOCK g_liveLock = SRWLOCK_INIT;
uint32_t g_lastSerial = 0;  // guarded by g_liveLock
std::vector<LiveWorker>& LiveWorkers() {
  static std::vector<LiveWorker> workers;
  return workers;
}

uint32_t AddLiveWorker(TVXInstallThread* worker) {
  GateLock guard(g_liveLock);
  if (++g_lastSerial == 0) ++g_lastSerial;  // 0 names no worker
  LiveWorkers().push_back({g_lastSerial, worker});
  return g_lastSerial;
}

void RemoveLiveWorker(uint32_t serial) {
  GateLock guard(g_liveLock);
  auto& workers = LiveWorkers();
  workers.erase(std::remove_if(workers.begin(), workers.end(),
                               [serial](const LiveWorker& live) { return live.serial == serial; }),
                workers.end());
}

// The live worker of that number, or null.
TVXInstallThread* FindLiveWorker(uint32_t serial) {
  GateLock guard(g_liveLock);
  for (const LiveWorker& live : LiveWorkers()) {
    if (live.serial == serial) return live.worker;
  }
  return nullptr;
}

}  // namespace

#ifdef VX_KILL_POINTS
// A test-only setup (tests/e2e) is built with this defined: it ends its own
// process, without warning, at one chosen check point or journal record.
void KillPointPassed(const char* kind);
#endif

bool IsRegistryStepFailure(int32_t resultCode) {
  return resultCode == kFileAssociationFailed || resultCode == kExplorerChoicesFailed ||
         resultCode == kUninstallRecordFailed;
}

bool RunMustBeUndone(int32_t resultCode) {
  return IsRegistryStepFailure(resultCode) || resultCode == kJournalWriteFailed;
}

namespace {

InstallRequest Normalized(InstallRequest request) {
  request.installFolder = NormalizedInstallFolder(request.installFolder);
  return request;
}

}  // namespace

TVXInstallThread::TVXInstallThread(bool CreateSuspended, int32_t Mode, HWND WindowHandle,
                                   InstallJournal* Journal, InstallRequest Request)
    : Mode(Mode),
      Request(Normalized(std::move(Request))),
      WindowHandle(WindowHandle),
      WindowsFolder(vx::WindowsFolder()),
      Journal(Journal) {
  serial_ = AddLiveWorker(this);
  // Last: with CreateSuspended false the thread may run at once.
  started_ = !CreateSuspended;
  thread_.reset(CreateThread(nullptr, 0, &TVXInstallThread::ThreadEntry, this,
                             CreateSuspended ? CREATE_SUSPENDED : 0, nullptr));
  if (!thread_) started_ = false;
}

TVXInstallThread::~TVXInstallThread() {
  RemoveLiveWorker(serial_);
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
  package_.Close();
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

void TVXInstallThread::RequestCancel() {
  Mode = ModeCancelled;
  CancelRequested = true;
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
    LogCaught("worker: the run, which this ends");
    end = RunEnd::Completed;
  }
  // The shell's notice is out before anybody hears of the end.
  if (shellNotice_) WaitForSingleObject(shellNotice_.get(), INFINITE);
  if (end == RunEnd::Completed) {
    LogLine("worker: run ends, mode %d, code %d", static_cast<int>(Mode.load()),
            static_cast<int>(ResultCode));
  }
  if (end != RunEnd::Completed) return;
  try {
    RelayCompletion();
  } catch (...) {
    LogCaught("worker: relaying the end of the run");
  }
}

void TVXInstallThread::WaitAtGate() {
  gateWaits_.fetch_add(1);
  SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

bool TVXInstallThread::PassCheckPoint(CheckPoint point, int32_t item) {
#ifdef VX_KILL_POINTS
  KillPointPassed("check");
#endif
  if (CheckPointObserver) CheckPointObserver(*this, point, item);
  return WaitWhilePaused();
}

bool TVXInstallThread::WaitWhilePaused() {
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) WaitAtGate();
  return !shuttingDown_;
}

bool TVXInstallThread::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  // The post happens under the gate lock, so once Pause() has returned no
  // message leaves a paused worker.
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) WaitAtGate();
  if (shuttingDown_) return false;
  return PostMessageA(WindowHandle, message, wParam, lParam) != FALSE;
}

void TVXInstallThread::Halt() {
  halted_.store(true);
  GateLock guard(lock_);
  while (!shuttingDown_) WaitAtGate();
}

void TVXInstallThread::RelayCompletion() {
  if (!OnTerminate) return;
  GateLock guard(lock_);
  while (pauseCount_ > 0 && !shuttingDown_) WaitAtGate();
  if (shuttingDown_) return;
  awaitingCallback_ = true;
  // Without a window to carry the relay (none given, or already gone) there
  // is no thread to call back on: the run just ends.
  if (!WindowHandle || !PostMessageA(WindowHandle, WM_INST_ENDED, 0,
                                     static_cast<LPARAM>(serial_))) {
    awaitingCallback_ = false;
    return;
  }
  while (!callbackDone_ && !shuttingDown_) {
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  awaitingCallback_ = false;
}

bool TVXInstallThread::DeliverCompletion(LPARAM lParam) {
  TVXInstallThread* worker = FindLiveWorker(static_cast<uint32_t>(lParam));
  if (!worker) return false;
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
  // Copies: the callback may replace OnTerminate, or even destroy the worker
  // (and create the next one in its place).
  CompletionCallback callback = OnTerminate;
  const uint32_t serial = serial_;
  try {
    if (callback) callback(*this);
  } catch (...) {
    LogCaught("worker: the completion callback");
  }
  if (FindLiveWorker(serial) != this) return;
  {
    GateLock guard(lock_);
    callbackDone_ = true;
  }
  WakeAllConditionVariable(&changed_);
}

TVXInstallThread::RunEnd TVXInstallThread::RunInstall() {
  if (!PassCheckPoint(CheckPoint::BeforeExtraction)) return RunEnd::Abandoned;
  // Nothing is changed without a journal on disk that a later start can
  // replay should this run die.
  if (Journal && !Journal->StartOnDisk(RunJournalIn(WindowsFolder), InstallFolder)) {
    ResultCode = kJournalNotStarted;
    return RunEnd::Completed;
  }
  Post(WM_INST_STEP, 0, kStepExtracting);
  std::string extracted = TempPackageFile;
  ExtractPackage(extracted);
  TempPackageFile = extracted;
  LogLine("extraction: code %d, %d bytes, %s", ResultCode, PackageSize,
          TempPackageFile.empty() ? "no copy" : TempPackageFile.c_str());
  if (!PassCheckPoint(CheckPoint::AfterExtraction)) return RunEnd::Abandoned;
  if (CancelRequested.load()) {
    package_.Close();
    if (Journal) Journal->EndOnDisk();  // nothing was made yet
    return RunEnd::Completed;
  }

  {
    // The copy is needed no longer once this part is left, however it is left.
    struct CloseAtEnd {
      TempPackage& package;
      ~CloseAtEnd() { package.Close(); }
    } closeAtEnd{package_};
    // Ended before anything is made: the journal has nothing to undo.
    auto endedEarly = [this](int32_t code) {
      ResultCode = code;
      if (Journal) Journal->EndOnDisk();
      return RunEnd::Completed;
    };
    if (ResultCode == kPackageDamaged) return endedEarly(kPackageDamaged);
    if (!package_.IsOpen()) return endedEarly(kNoPackageFile);
    if (PackageSize < kMinimumPackageSize) return endedEarly(kPackageTooSmall);
    if (InstallFolder.empty()) return endedEarly(kNoInstallFolder);
    if (!PassCheckPoint(CheckPoint::BeforeUnpack)) return RunEnd::Abandoned;
    Post(WM_INST_STEP, static_cast<WPARAM>(PackageSize), kStepCreatingFolders);
    LogLine("unpacking into %s", InstallFolder.c_str());
    switch (UnpackPackage(TempPackageFile, InstallFolder)) {
      case UnpackOutcome::Failed:
        package_.Close();  // the halt lasts until the window closes
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
      if (Journal) Journal->FileListed(InstallFolder + "\\" + kReopenIniName);
    } catch (...) {
      LogCaught("unpack: listing the settings file for removal", kReopenIniName);
    }
    LogLine("unpack: %zu items, %zu folders made, code %d%s", Items.size(),
            Journal ? Journal->Folders().size() : size_t{0}, ResultCode,
            CancelRequested.load() ? ", cancelled" : "");
  }

  if (!PassCheckPoint(CheckPoint::AfterUnpack)) return RunEnd::Abandoned;
  if (CancelRequested.load()) return RunEnd::Completed;

  // From here on a cancel no longer stops the run; the steps below never
  // change ResultCode, and a failure they report ends the run at once.
  Post(WM_INST_STEP, static_cast<WPARAM>(PackageSize), kStepUpdatingRegistry);
  if (!PassCheckPoint(CheckPoint::BeforeProductSettings)) return RunEnd::Abandoned;
  // What the keys held before the first write, so a rollback can put it back.
  if (Journal && !Journal->KeysWereCaptured() &&
      !Journal->KeysCaptured(CaptureKeys(KeysTheInstallWrites()))) {
    ResultCode = kJournalWriteFailed;
    return RunEnd::Completed;
  }
  if (int32_t settings = WriteProductSettings(); settings != kInstallOk) {
    LogLine("product settings: %d (the run goes on)", settings);
  }
  if (!PassCheckPoint(CheckPoint::BeforeFileAssociation)) return RunEnd::Abandoned;
  if (LONG rc = WriteFileAssociation(); rc != ERROR_SUCCESS) {
    LogFailure("file association", kProjectExtension, static_cast<DWORD>(rc));
    ResultCode = kFileAssociationFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeExplorerFileExts)) return RunEnd::Abandoned;
  if (LONG rc = WriteExplorerFileExts(); rc != ERROR_SUCCESS) {
    LogFailure("Explorer choices", kExplorerFileExtsKey, static_cast<DWORD>(rc));
    ResultCode = kExplorerChoicesFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeUninstallRecord)) return RunEnd::Abandoned;
  if (LONG rc = WriteUninstallRecord(); rc != ERROR_SUCCESS) {
    LogFailure("uninstall record", kUninstallKey, static_cast<DWORD>(rc));
    ResultCode = kUninstallRecordFailed;
    return RunEnd::Completed;
  }
  if (!PassCheckPoint(CheckPoint::BeforeInstallLog)) return RunEnd::Abandoned;
  if (WriteInstallLog(InstallFolder) == kJournalWriteFailed) {
    ResultCode = kJournalWriteFailed;
    return RunEnd::Completed;
  }
  // Complete: what was moved aside is no longer needed, nor the journal.
  if (Journal) {
    DiscardMovedAside(*Journal);
    Journal->EndOnDisk();
  }
  return RunEnd::Completed;
}

TVXInstallThread::RunEnd TVXInstallThread::RunRollback() {
  if (!PassCheckPoint(CheckPoint::BeforeRollback)) return RunEnd::Abandoned;
  LogLine("rollback starts");
  if (!Journal) return RunEnd::Completed;
  try {
    UndoJournal(*Journal);
    // Undone: the journal is needed no longer.
    Journal->EndOnDisk();
  } catch (...) {
    LogCaught("rollback: undoing the run");
  }
  return RunEnd::Completed;
}

}  // namespace vx
