// The install worker: one object, one run on a thread of its own.
//
// Mode 100 installs the package resource into InstallFolder: it extracts the
// package to a temporary file, unpacks every item, then writes the product
// settings, the file association, the Explorer choices, the uninstall record
// and the install log. Mode 200 rolls a cancelled install back from the
// journal the install run filled. Any other mode does nothing.
//
// How the wizard window drives it (all calls on the window's thread):
//
//   InstallRequest request{installDir, folderMustBeNew, jdk, toolkit};
//   auto* worker = new TVXInstallThread(true, ModeInstall, hwnd, &journal, request);
//   worker->OnTerminate = [this](TVXInstallThread& w) { InstallTerminated(w); };
//   worker->Start();
//
//   window procedure:
//     case WM_INST_ENDED: TVXInstallThread::DeliverCompletion(lParam); return 0;
//
// The worker reports only by posted messages (install/messages.h). When its
// run has ended it posts WM_INST_ENDED and waits; DeliverCompletion, called
// by the window procedure, runs OnTerminate on the window's thread and then
// releases the worker, which finishes its thread. The callback may read Mode,
// ResultCode, Items and PackageSize. The journal is the caller's (see
// install/journal.h); the worker only reports into it.
//
// Cancel: Pause(), ask the user, then on a confirmed cancel RequestCancel()
// (mode 210 and the cancel request) and Resume(). Pauses nest. The
// worker pauses only at its own check points (before each step, before each
// item and after each item), so a paused worker holds no lock the window
// needs; the item or extraction in hand is finished first, but nothing is
// posted while the worker is paused.
//
// After an unpack failure the worker posts WM_INST_ERROR and halts for good:
// no further step, message or callback, whatever the window pauses or
// resumes. The window never destroys a worker while it lives; destroying one
// ends its thread first (a halted, paused or waiting worker included) without
// any callback.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/footprint.h"
#include "common/handles.h"
#include "install/install_request.h"
#include "install/journal.h"
#include "install/messages.h"
#include "install/temp_package.h"
#include "package/format.h"

namespace vx {

// ResultCode values set by the install run and its two package steps.
inline constexpr int32_t kInstallOk = 0;
inline constexpr int32_t kNoPackageFile = -111;       // no temporary file after extraction
inline constexpr int32_t kNoInstallFolder = -112;     // InstallFolder empty
inline constexpr int32_t kPackageTooSmall = -119;     // PackageSize below 1000
inline constexpr int32_t kMinimumPackageSize = 1000;
// The run's journal cannot be made (nothing was changed), or a record of it
// cannot be written (the run ends, and is undone like a failed registry step).
inline constexpr int32_t kJournalNotStarted = -117;
inline constexpr int32_t kJournalWriteFailed = -116;
// ExtractPackage.
inline constexpr int32_t kExtractNoFolder = -112;     // empty resource, or no usable folder
inline constexpr int32_t kExtractNoResource = -113;   // resource cannot be opened
inline constexpr int32_t kExtractWriteFailed = -114;  // temporary file cannot be written
// The package written out does not have the digest the build recorded beside
// it (or none is recorded): a damaged or truncated download. The run ends
// before the unpack with this code, and nothing is installed.
inline constexpr int32_t kPackageDamaged = -115;
// UnpackPackage.
inline constexpr int32_t kUnpackNoPackage = -211;
inline constexpr int32_t kUnpackFolderTooShort = -212;
inline constexpr int32_t kUnpackFolderNotCreated = -216;
// The install folder is not the one the folder page accepted: it was found
// missing there and exists now (made by someone else meanwhile), or it (or a
// level above it) is a link.
inline constexpr int32_t kUnpackFolderNotTrusted = -217;
inline constexpr int32_t kUnpackListTooShort = -218;
inline constexpr int32_t kUnpackTooFewRecords = -219;
// The package copy's header or item list cannot be read (a read of the copy
// fails, or there is no memory for its read window): not a list too short.
inline constexpr int32_t kUnpackPackageUnreadable = -229;
inline constexpr int32_t kUnpackCannotOpen = -228;
inline constexpr int32_t kUnpackCannotRead = -238;
inline constexpr int32_t kUnpackItemFolderNotCreated = -258;
inline constexpr int32_t kUnpackCannotWrite = -333;
// Registry steps whose failure ends the install run; the run is then rolled
// back like a cancelled one.
inline constexpr int32_t kFileAssociationFailed = -371;
inline constexpr int32_t kExplorerChoicesFailed = -372;
inline constexpr int32_t kUninstallRecordFailed = -373;
bool IsRegistryStepFailure(int32_t resultCode);
// The codes whose install run the window undoes: the registry steps'
// failures, and a journal that could not be written.
bool RunMustBeUndone(int32_t resultCode);
// Results of the settings and log steps (not used by the run).
inline constexpr int32_t kSettingsFailed = -1113;
inline constexpr int32_t kLogFailed = -1;

// The places where the worker looks at a pause, for tests that pause it at
// an exact point (see CheckPointObserver).
enum class CheckPoint {
  BeforeExtraction,
  AfterExtraction,
  BeforeUnpack,
  BeforeItem,   // item = index of the item about to be written
  AfterItem,    // item = index of the item just written; before the cancel check
  AfterUnpack,
  BeforeProductSettings,
  BeforeFileAssociation,
  BeforeExplorerFileExts,
  BeforeUninstallRecord,
  BeforeInstallLog,
  BeforeRollback,
};

// How UnpackPackage ended.
enum class UnpackOutcome {
  Completed,  // every item written, ResultCode 0
  Cancelled,  // a cancel was requested; nothing posted at the end
  Failed,     // WM_INST_ERROR posted; the run halts the worker
  Abandoned,  // the worker is being destroyed
};

class TVXInstallThread {
 public:
  using CompletionCallback = std::function<void(TVXInstallThread& worker)>;
  using CheckPointHook = std::function<void(TVXInstallThread& worker, CheckPoint point,
                                            int32_t item)>;

  // Creates the thread, suspended when CreateSuspended is set (the window
  // always passes true), and reads WindowsFolder. The journal is the
  // caller's and outlives the worker; null: the run records nothing, and a
  // rollback has nothing to undo. The request's folder is normalized.
  TVXInstallThread(bool CreateSuspended, int32_t Mode, HWND WindowHandle,
                   InstallJournal* Journal, InstallRequest Request = {});
  // Ends the thread (without a callback), closes (and so removes) the
  // temporary package, frees the items last to first and posts WM_INST_FREED.
  ~TVXInstallThread();
  TVXInstallThread(const TVXInstallThread&) = delete;
  TVXInstallThread& operator=(const TVXInstallThread&) = delete;

  // ---- the window's side
  // Begins the run of a worker created suspended; false when there is no
  // thread or it was started already.
  bool Start();
  // Nested pause and resume, taking effect at the worker's next check point
  // or message. Resume is false when there was no pause to undo.
  bool Pause();
  bool Resume();
  // A confirmed cancel, given while the worker is paused: mode 210 and the
  // cancel request, which the run sees at its next cancel check.
  void RequestCancel();
  // Started and its thread has not finished (a halted worker counts).
  bool IsRunning() const;
  // The worker has halted after an unpack failure.
  bool IsHalted() const { return halted_.load(); }
  // How many times the worker's thread has stopped to wait at a pause or at
  // its halt; a wake that finds it still paused counts again. Once it has
  // grown, everything the worker posted before is in the window's queue.
  uint32_t GateWaits() const { return gateWaits_.load(); }
  // The thread, for waiting on its end from another thread or with
  // MsgWaitForMultipleObjects (its end needs the completion relay).
  HANDLE ThreadHandle() const { return thread_.get(); }
  // Hands a WM_INST_ENDED message to its worker: runs the completion
  // callback on the calling (window) thread, then releases the worker. False
  // when the message names no live worker waiting for its callback (the
  // message carries the worker's serial number, never its address).
  static bool DeliverCompletion(LPARAM lParam);

  // ---- fields, as the window and the steps see them
  std::atomic<int32_t> Mode;
  int32_t ResultCode = kInstallOk;
  std::string TempPackageFile;
  // What this run was asked to do; InstallFolder is its folder.
  const InstallRequest Request;
  const std::string& InstallFolder = Request.installFolder;
  std::vector<std::string> ItemLines;        // the item list's lines; released once parsed
  std::vector<TPackItem> Items;              // complete before the first progress message
  HWND WindowHandle;
  int32_t PackageSize = 0;                   // set before step 150 is posted
  std::atomic<bool> CancelRequested{false};
  std::string WindowsFolder;
  // Where the install run reports what it made and changed, and what the
  // rollback run undoes; the caller's, may be null.
  InstallJournal* const Journal;
  CompletionCallback OnTerminate;            // set before Start

  // ---- the steps (run on the worker thread; public so each can be tested)
  // Writes the package resource to "vxpack.pck" in a private folder of this
  // run under the temporary folder (install/temp_package.h) and keeps it
  // open; a pause holds the copy between its pieces, and a cancel stops it
  // (-114, no file). Sets PackageSize and ResultCode; path: the file, empty
  // after a failed or stopped write, unchanged after the other failures.
  void ExtractPackage(std::string& path);
  // Unpacks every item of the package into InstallFolder, reading only
  // through the handle ExtractPackage kept (a package given by another path
  // is opened once, shared for reading only). On failure it posts
  // WM_INST_ERROR and returns Failed; the run then halts the worker.
  // The worker passes TempPackageFile and InstallFolder.
  UnpackOutcome UnpackPackage(const std::string& packagePath, const std::string& installFolder);
  // Appends a record for every valid item line.
  static void ParseItemLines(const std::vector<std::string>& lines,
                             std::vector<TPackItem>& records);
  // Sets an open file's last-write time (only that one) from a packed DOS
  // local date-time: date in the high 16 bits, time in the low 16 bits.
  static void StampLastWriteTime(HANDLE file, int32_t packedDate);
  // Makes or replaces the file with all the bytes, written with one call,
  // then dates it through the same handle (a date of 0 or below leaves the
  // time of writing); false when the file cannot be made or not every byte
  // was written.
  static bool WriteWholeFile(const std::string& path, const char* data, DWORD size,
                             int32_t packedDate = 0);

  // 0, or kSettingsFailed when a write failed (the chain stops there).
  int32_t WriteProductSettings();
  // ERROR_SUCCESS, or the Win32 error that ends the install run. The
  // Explorer choices skip a key the user's account may not write (Windows
  // protects "UserChoice" once an application was chosen).
  LONG WriteFileAssociation();
  LONG WriteExplorerFileExts();
  LONG WriteUninstallRecord();
  // 0, or kLogFailed when a write failed (what was written stays).
  int32_t WriteInstallLog(const std::string& installFolder);

  // ---- seams
  // Module that carries the package resource; null: the running executable.
  HMODULE PackageModule = nullptr;
  // Where the install log looks for the Windows folder when it is written.
  // Tests replace it to reach "no Windows folder", which no real system has.
  std::string (*QueryWindowsFolder)() = nullptr;
  // Called on the worker thread at each check point, before the worker looks
  // at a pause. Tests use it to pause at an exact point; the wizard leaves it
  // empty.
  CheckPointHook CheckPointObserver;

 private:
  enum class RunEnd { Completed, Halted, Abandoned };

  static DWORD WINAPI ThreadEntry(void* self);
  void ThreadMain() noexcept;
  RunEnd RunInstall();
  RunEnd RunRollback();
  // Waits while paused; false when the worker is being destroyed.
  bool PassCheckPoint(CheckPoint point, int32_t item = -1);
  // The same between the pieces of a step, where tests look at no check
  // point.
  bool WaitWhilePaused();
  // Posts a message to the window, waiting first while paused.
  bool Post(UINT message, WPARAM wParam, LPARAM lParam);
  // Waits until the worker is destroyed.
  void Halt();
  // One wait at the gate, with lock_ held.
  void WaitAtGate();
  // Hands the end of the run to the window's thread and waits for the callback.
  void RelayCompletion();
  void RunCompletionCallback();
  bool ShuttingDown();
  UnpackOutcome EndUnpack(bool abandoned, int32_t itemIndex);
  // Moves a file that stands where an item goes (its attributes as read, or
  // INVALID_FILE_ATTRIBUTES) into this run's folder of files moved aside,
  // recorded in the journal first; true when nothing stands there or it was
  // moved, false when it could not be.
  bool MoveAsideExisting(const std::string& path, DWORD attributes);
  // Makes sure an item's folder exists and leads through no link, each level
  // it makes listed in the journal first. kInstallOk, kUnpackCannotWrite for
  // a link, kUnpackItemFolderNotCreated. inHeldTree: the install folder is
  // this run's own, made with Program Files' rights and held.
  int32_t MakeItemFolder(const std::string& folder, bool inHeldTree);
  // Makes the item's file (item.FileName, the full path) from its bytes in
  // the package copy, read a window at a time, and dates it through the same
  // handle. kInstallOk, kUnpackCannotRead when the copy cannot be read, or
  // kUnpackCannotWrite. keepBytes: the bytes are kept as the uninstall
  // program's too. mustBeNew: fails when anything stands at the name.
  int32_t WriteItemFile(const TPackItem& item, bool keepBytes, bool mustBeNew);
  std::string UninstallProgramLocation();
  // SHChangeNotify(SHCNE_ASSOCCHANGED), on a thread of its own (shellNotice_)
  // that the end of the run waits for.
  void TellShellAssociationsChanged();
  // What the values of the footprint's keys are made from in this run.
  InstallFacts Facts();

  TempPackage package_;             // the open package; the worker thread's
  // The levels of the install folder this run made, held while the items are
  // written into them; the worker thread's.
  std::vector<FileHandle> folderHolds_;
  // The folder this run moves existing files into, made on first need; the
  // worker thread's.
  std::string asideFolder_;
  size_t asideCount_ = 0;
  // The folders this run listed and made (no trailing backslash); the
  // worker thread's.
  std::unordered_set<std::string> madeFolders_;
  // The uninstall program's bytes as the package carries them, kept from the
  // unpack for its copy into the Windows folder; the worker thread's.
  std::string uninstallProgram_;
  int32_t uninstallProgramDate_ = 0;
  KernelHandle shellNotice_;        // the thread telling the shell, while it runs
  uint32_t serial_ = 0;             // this worker's number in the completion relay
  KernelHandle thread_;
  bool started_ = false;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  int pauseCount_ = 0;              // guarded by lock_
  bool shuttingDown_ = false;       // guarded by lock_
  bool awaitingCallback_ = false;   // guarded by lock_
  bool callbackClaimed_ = false;    // guarded by lock_
  bool callbackDone_ = false;       // guarded by lock_
  std::atomic<bool> halted_{false};
  std::atomic<uint32_t> gateWaits_{0};
};

}  // namespace vx
