// Test support for the install worker: a hidden window that collects what the
// worker posts and wires the completion relay as the wizard does, package
// bytes, a module carrying a package resource, and a fixture with an isolated
// registry, temporary folder and Windows folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fixtures.h"
#include "install/install_thread.h"

namespace vx::test {

struct Posted {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Posted&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Posted& posted);

inline Posted Step(int32_t code, WPARAM size = 0) { return {WM_INST_STEP, size, code}; }
inline Posted Progress(WPARAM bytes, LPARAM item) { return {WM_INST_PROGRESS, bytes, item}; }
inline Posted Error(int32_t code, LPARAM item) {
  return {WM_INST_ERROR, static_cast<WPARAM>(static_cast<LONG_PTR>(code)), item};
}

// A hidden top-level window on the calling thread. It records the worker's
// messages in arrival order and hands WM_INST_ENDED to the worker module,
// exactly as the wizard window's procedure does.
class MessageSink {
 public:
  MessageSink();
  ~MessageSink();
  MessageSink(const MessageSink&) = delete;
  MessageSink& operator=(const MessageSink&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Worker messages (WM_INST_PROGRESS ... WM_INST_DONE) in arrival order.
  std::vector<Posted> messages;
  int relaysHandled = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

// Dispatches this thread's messages until done() is true or the time is up;
// returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000);
// Dispatches this thread's messages for a while.
void PumpFor(DWORD ms);
// Dispatches every message already in this thread's queue.
void PumpPending();
// Dispatches this thread's messages until the worker has stopped at its gate
// (a pause or its halt) more often than `after` times; then everything it
// posted before is dispatched too.
bool PumpUntilWaitingAtGate(const TVXInstallThread& worker, uint32_t after,
                            DWORD timeoutMs = 30000);
// A message of the test's own, posted to the sink to mark a moment in the
// order of the worker's messages; the sink records it like theirs.
inline constexpr UINT kMarkerMessage = WM_APP + 77;
// Waits for an event (or a thread) while dispatching messages.
bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs = 30000);

// A copy of a tiny resource-only module with the given bytes as its "VXPACK"
// RCDATA resource and a recorded digest as its "VXPACKSHA256" one, loaded as
// data; the worker reads its package from it.
class PackageModuleFile {
 public:
  // bytes empty: the module carries no package resource at all. recordedDigest:
  // the digest text it carries; none given: the true digest of the bytes; an
  // empty text: no digest resource.
  PackageModuleFile(const std::string& folder, const std::string& bytes,
                    std::optional<std::string> recordedDigest = std::nullopt);
  ~PackageModuleFile();
  PackageModuleFile(const PackageModuleFile&) = delete;
  PackageModuleFile& operator=(const PackageModuleFile&) = delete;
  HMODULE module() const { return module_; }

 private:
  std::string path_;
  HMODULE module_ = nullptr;
};

// One item of a test package.
struct TestItem {
  std::string folder;  // "\" or "\Sub"
  std::string name;
  std::string content;
  int32_t date = 0;
};
// A package laid out by the package builder; empty on failure.
std::string BuildTestPackage(const std::vector<TestItem>& items);
// A package with a hand-written item list (lines without their CR LF), for
// records the builder refuses; the payload follows the 99-byte header.
std::string RawTestPackage(const std::string& payload, const std::vector<std::string>& lines);
// A small product: the three programs in the install folder, a skin, a
// project dated 0, a compiled project two levels below "\Projects" (so
// "\Projects\Compiled" is created only as a parent) and a sample text.
// Over 1000 bytes in all.
std::vector<TestItem> SampleItems();
// Packed DOS date-time.
int32_t DosDate(int year, int month, int day, int hour, int minute, int second);
// The file's last-write time in local time.
SYSTEMTIME LocalWriteTime(const std::string& path);

// Full path of a program built beside the running test program.
std::string TestProgramPath(const char* name);

// The private folders ("vxsetup-" and 16 hex digits) in a folder: where
// the worker keeps its copy of the package while it unpacks.
std::vector<std::string> PackageFoldersIn(const std::string& folder);
// True when the path is "<parent>\vxsetup-<16 hex digits>\vxpack.pck".
bool IsPrivatePackagePath(const std::string& path, const std::string& parent);

// The worker's completion callback as the tests see it.
struct CallbackRecord {
  int calls = 0;
  DWORD threadId = 0;
  int32_t mode = 0;
  int32_t resultCode = 0;
};

// The folders of an install run inside a scratch folder: the temporary
// folder (TMP and TEMP point there while the object lives) and a Windows
// folder of its own, both made, and the install folder, only named. The
// Windows folder is also what TestWindowsFolder() gives.
class InstallScratch {
 public:
  explicit InstallScratch(const std::string& scratch);
  bool Made() const { return made_; }

  const std::string temp;        // without trailing backslash
  const std::string windows;
  const std::string installDir;  // scratch\VantorexLite

 private:
  bool made_;
  TempFolderOverride tempOverride_;
};

// Registry redirected, a scratch folder holding the temporary folder (TMP and
// TEMP point there while the test runs), a Windows folder of its own and the
// default install folder, and a message sink.
class WorkerTest : public RegistryAndFilesTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A suspended worker wired to the sink, the lists, the scratch folders and
  // the record of its callback. module: where the package comes from.
  // request: none gives the install folder installDir_ and no picked tools.
  std::unique_ptr<TVXInstallThread> MakeWorker(int32_t mode, HMODULE module,
                                               std::optional<InstallRequest> request = {});
  // Starts the worker and dispatches messages until its thread has ended.
  bool RunToEnd(TVXInstallThread& worker, DWORD timeoutMs = 60000);
  // Dispatches what is still queued and forgets every message so far.
  void DrainMessages();
  // Messages that arrived of one kind.
  std::vector<Posted> Only(UINT message) const;

  std::string temp_;          // the temporary folder, without trailing backslash
  std::string windows_;       // the worker's Windows folder
  std::string installDir_;    // scratch\VantorexLite (not created)
  InstallJournal journal_;    // what the workers made here record and undo
  CallbackRecord callback_;
  std::unique_ptr<MessageSink> sink_;

 private:
  std::optional<InstallScratch> install_;
};

// Creates a key that can be read and deleted but not opened for writing, as
// Windows protects a user's "UserChoice" key; false when that did not work.
bool CreateWriteProtectedKey(HKEY root, const std::string& key);

// What an install can change, taken before and compared after: the whole
// (redirected) HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER,
// key by key and value by value, and every file and folder under the given
// folders, with their bytes.
class MachineSnapshot {
 public:
  explicit MachineSnapshot(std::vector<std::string> folders);
  // One line per difference from `before`; empty when the two are the same.
  std::vector<std::string> Differences(const MachineSnapshot& before) const;

 private:
  std::vector<std::string> folders_;
  std::vector<KeyState> keys_;
  std::vector<std::pair<std::string, std::string>> files_;  // path (folders end in '\'), bytes
};
// The Windows folder the current WorkerTest gives its workers' install log.
std::string TestWindowsFolder();

}  // namespace vx::test
