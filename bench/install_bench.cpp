// Install benchmark: runs the install worker's complete install of the
// package this program carries (the sample product, as the setup carries it)
// into a fresh folder several times, and prints the median run time, the
// time of a straight copy of the same bytes, the time to undo a run from its
// journal beside a plain deletion of the same files, and the process's peak
// private memory over its idle level.
//
// The registry is redirected into a scratch key and the Windows folder is a
// scratch folder, so a run leaves nothing behind.
//
// Usage: vx_install_bench [runs]   (default 5)
//        vx_install_bench once <install folder> <Windows folder> [package module]
//          one complete install and nothing else, for timing the whole
//          process from outside (bench/compare); exit code 0 on success.
//          Its scratch registry keys stay for the caller to remove. With a
//          package module (a DLL carrying VXPACK and VXPACKSHA256, see
//          bench/package-module) the package is read from it instead of
//          from this program's own resources; loading it is part of the run.
//        vx_install_bench remove <install folder> <Windows folder> [package module]
//          what taking an installed product away costs, for the larger
//          payloads too: one install undone from its journal, one more
//          ("<install folder>-uninstalled") removed as the uninstall program
//          removes it, and a third ("<install folder>-plain") deleted
//          plainly, each timed (exit code 0 on success).
//        vx_install_bench over <install folder> <Windows folder> [package module]
//          one install into an empty folder, then the same again over it,
//          both timed (exit code 0 on success).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_files.h"
#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/sha256.h"
#include "install/install_thread.h"
#include "install/rollback.h"
#include "install/temp_package.h"
#include "uninstall_steps.h"

namespace {

using vx::TVXInstallThread;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
}

double Mb(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// Private (committed, not shared) bytes of this process.
size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(),
                       reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  // Wine reports private memory as PagefileUsage and leaves PrivateUsage 0.
  return std::max<size_t>(counters.PrivateUsage, counters.PagefileUsage);
}

size_t WindowsPeakPrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakPagefileUsage;
}

// Samples the private bytes every millisecond and keeps the highest value:
// Wine does not keep a peak of its own.
class PeakSampler {
 public:
  PeakSampler() {
    thread_.reset(CreateThread(nullptr, 0, &PeakSampler::Entry, this, 0, nullptr));
  }
  ~PeakSampler() {
    stop_ = true;
    WaitForSingleObject(thread_.get(), INFINITE);
  }
  size_t Peak() const { return peak_.load(); }

 private:
  static DWORD WINAPI Entry(void* self) {
    auto* sampler = static_cast<PeakSampler*>(self);
    while (!sampler->stop_) {
      size_t now = PrivateBytes();
      if (now > sampler->peak_) sampler->peak_ = now;
      Sleep(1);
    }
    return 0;
  }
  std::atomic<bool> stop_{false};
  std::atomic<size_t> peak_{0};
  vx::KernelHandle thread_;
};

// HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER redirected into
// a scratch key for the whole process, removed again at the end.
// keep: leave the keys for the caller to remove (the setup removes nothing,
// so a whole-process timing should not include the removal either).
class ScratchRegistry {
 public:
  explicit ScratchRegistry(bool keep = false) : keep_(keep) {
    path_ = std::string(vx::bench::kScratchRegistryKey) + "\\run" +
            std::to_string(GetCurrentProcessId());
    const char* names[3] = {"\\HKLM", "\\HKCR", "\\HKCU"};
    for (int i = 0; i < 3; ++i) {
      RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + names[i]).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &keys_[i], nullptr);
    }
    ok_ = keys_[0] && keys_[1] && keys_[2] &&
          RegOverridePredefKey(HKEY_LOCAL_MACHINE, keys_[0]) == ERROR_SUCCESS &&
          RegOverridePredefKey(HKEY_CLASSES_ROOT, keys_[1]) == ERROR_SUCCESS &&
          RegOverridePredefKey(HKEY_CURRENT_USER, keys_[2]) == ERROR_SUCCESS;
  }
  ~ScratchRegistry() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    for (HKEY key : keys_) {
      if (key) RegCloseKey(key);
    }
    if (!keep_) vx::bench::RemoveRegistryTree(path_);
  }
  bool ok() const { return ok_; }

 private:
  bool keep_;
  std::string path_;
  HKEY keys_[3] = {};
  bool ok_ = false;
};

constexpr char kWindowClass[] = "VxInstallBench";
std::string g_windowsFolder;
std::string BenchWindowsFolder() { return g_windowsFolder; }

// Arrival times of the step messages of the run in progress.
struct StepTimes {
  LARGE_INTEGER creatingFolders{};
  LARGE_INTEGER updatingRegistry{};
};
StepTimes g_steps;

LRESULT CALLBACK BenchWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == vx::WM_INST_ENDED) {
    TVXInstallThread::DeliverCompletion(lParam);
    return 0;
  }
  if (message == vx::WM_INST_STEP) {
    if (lParam == vx::kStepCreatingFolders) g_steps.creatingFolders = Now();
    if (lParam == vx::kStepUpdatingRegistry) g_steps.updatingRegistry = Now();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Dispatches messages until the handle is signalled.
void PumpUntilSignalled(HANDLE handle) {
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
      return;
    }
  }
}

// The steps after the unpacking, each timed from its check point to the next.
constexpr vx::CheckPoint kRegistryCheckPoints[] = {
    vx::CheckPoint::BeforeProductSettings, vx::CheckPoint::BeforeFileAssociation,
    vx::CheckPoint::BeforeExplorerFileExts, vx::CheckPoint::BeforeUninstallRecord,
    vx::CheckPoint::BeforeInstallLog};
constexpr const char* kRegistrySteps[] = {"settings", "file association", "Explorer choices",
                                          "uninstall record", "install log"};

struct RunResult {
  bool ok = false;
  double total = 0, extraction = 0, unpack = 0, registry = 0;
  double undo = 0;       // undoing the run from its journal, when asked for
  bool undone = false;   // and the install folder was gone after it
  double itemWork = 0;  // unpacking: from each item's check point to the next, summed
  // The registry-and-log phase step by step, as kRegistrySteps names them.
  std::vector<double> registrySteps;
  int32_t packageSize = 0;
  size_t items = 0;
  int32_t largestItem = 0;
  std::vector<std::string> files;    // installed files, in item order
  std::vector<std::string> folders;  // item folders, in item order
};

// undo: the run is undone from its journal once it has ended, and timed.
RunResult RunInstall(HWND window, const std::string& folder, const std::string& windows,
                     HMODULE packageModule = nullptr, bool undo = false) {
  RunResult result;
  g_windowsFolder = windows;
  g_steps = {};
  int32_t code = -1;
  {
    // As the wizard gives it: a journal, in which the keys are read before the first write.
    vx::InstallJournal journal;
    TVXInstallThread worker(true, vx::ModeInstall, window, &journal, vx::InstallRequest(folder));
    worker.WindowsFolder = windows;
    worker.QueryWindowsFolder = &BenchWindowsFolder;
    worker.PackageModule = packageModule;
    worker.OnTerminate = [&code](TVXInstallThread& w) { code = w.ResultCode; };
    std::vector<LARGE_INTEGER> reached(std::size(kRegistryCheckPoints));
    LARGE_INTEGER itemStart{};
    worker.CheckPointObserver = [&](TVXInstallThread&, vx::CheckPoint point, int32_t) {
      const LARGE_INTEGER now = Now();
      if (point == vx::CheckPoint::BeforeItem) itemStart = now;
      if (point == vx::CheckPoint::AfterItem) result.itemWork += Milliseconds(itemStart, now);
      for (size_t i = 0; i < reached.size(); ++i) {
        if (point == kRegistryCheckPoints[i]) reached[i] = now;
      }
    };
    LARGE_INTEGER start = Now();
    if (!worker.Start()) return result;
    PumpUntilSignalled(worker.ThreadHandle());
    LARGE_INTEGER end = Now();
    if (undo && code == vx::kInstallOk) {
      const LARGE_INTEGER undoStart = Now();
      vx::UndoJournal(journal);
      result.undo = Milliseconds(undoStart, Now());
      result.undone = !vx::FolderExists(folder);
    }
    result.total = Milliseconds(start, end);
    result.extraction = Milliseconds(start, g_steps.creatingFolders);
    result.unpack = Milliseconds(g_steps.creatingFolders, g_steps.updatingRegistry);
    result.registry = Milliseconds(g_steps.updatingRegistry, end);
    for (size_t i = 0; i < reached.size(); ++i) {
      result.registrySteps.push_back(
          Milliseconds(reached[i], i + 1 < reached.size() ? reached[i + 1] : end));
    }
    result.packageSize = worker.PackageSize;
    result.items = worker.Items.size();
    for (const vx::TPackItem& item : worker.Items) {
      result.largestItem = std::max(result.largestItem, item.Size);
      result.files.push_back(item.FileName);
      std::string itemFolder = item.FileName.substr(0, item.FileName.find_last_of('\\'));
      if (result.folders.empty() || result.folders.back() != itemFolder) {
        result.folders.push_back(itemFolder);
      }
    }
  }
  result.ok = code == vx::kInstallOk;
  return result;
}

// The same files copied with CopyFileA into a fresh folder, folders created
// on the way: what a plain copy of the installed bytes costs here.
double StraightCopy(const RunResult& source, const std::string& from, const std::string& to) {
  LARGE_INTEGER start = Now();
  for (const std::string& folder : source.folders) {
    vx::CreateFolderPath(to + folder.substr(from.size()));
  }
  for (const std::string& file : source.files) {
    CopyFileA(file.c_str(), (to + file.substr(from.size())).c_str(), FALSE);
  }
  return Milliseconds(start, Now());
}

// The peer of undoing a run: the straight copy's files deleted from their
// list (DeleteFileA) and then its folders, deepest first (RemoveDirectoryA),
// with no look at links or at where a file really is.
double PlainDeletion(const RunResult& source, const std::string& from, const std::string& to) {
  std::vector<std::string> folders;
  for (const std::string& file : source.files) {
    std::string folder = to + file.substr(from.size());
    while (folder.size() > to.size()) {
      folder.resize(folder.find_last_of('\\'));
      if (std::find(folders.begin(), folders.end(), folder) != folders.end()) break;
      folders.push_back(folder);
    }
  }
  std::sort(folders.begin(), folders.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  LARGE_INTEGER start = Now();
  for (const std::string& file : source.files) DeleteFileA((to + file.substr(from.size())).c_str());
  for (const std::string& folder : folders) RemoveDirectoryA(folder.c_str());
  return Milliseconds(start, Now());
}

// The peer of the extraction: the package resource written to a temporary
// file with one call and no digest, as the worker wrote it before it checked
// its package, then deleted.
double PackageWrittenWithoutDigest(const std::string& folder) {
  vx::ResourceBytes package =
      vx::FindResourceBytes(nullptr, "VXPACK", MAKEINTRESOURCEA(10));  // RT_RCDATA
  const std::string path = folder + "\\peer.pck";
  LARGE_INTEGER start = Now();
  vx::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), package.data, static_cast<DWORD>(package.size), &written,
                          nullptr)) {
    return -1;
  }
  return Milliseconds(start, Now());
}

// The package's SHA-256 alone, over the resource's bytes.
double DigestAlone() {
  vx::ResourceBytes package =
      vx::FindResourceBytes(nullptr, "VXPACK", MAKEINTRESOURCEA(10));  // RT_RCDATA
  LARGE_INTEGER start = Now();
  vx::Sha256Of(std::string_view(package.data, package.size));
  return Milliseconds(start, Now());
}

}  // namespace

// The window the worker reports to.
HWND CreateBenchWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &BenchWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, kWindowClass, "bench", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  return window;
}

// What every single-install mode sets up: the package module named on the
// command line (mapped as an image resource: its sections are mapped, never
// run; none when none is named), the scratch registry and the window the
// worker reports to. failure: the mode's exit code when one is missing.
struct InstallSetUp {
  InstallSetUp(const char* module, bool keepRegistry) : registry(keepRegistry) {
    if (module) {
      packageModule.reset(LoadLibraryExA(
          module, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
    }
    failure = module && !packageModule ? 5 : !registry.ok() ? 3 : 0;
    if (failure == 0 && !(window = CreateBenchWindow())) failure = 4;
  }
  RunResult Install(const std::string& folder, const std::string& windows, bool undo = false) {
    return RunInstall(window, folder, windows, packageModule.get(), undo);
  }
  vx::ModuleHandle packageModule;
  ScratchRegistry registry;
  HWND window = nullptr;
  int failure = 0;
};

// One install, as the setup's worker does it, into the given folders; the
// package from the module file when one is named.
int InstallOnce(const std::string& folder, const std::string& windows, const char* module) {
  InstallSetUp setUp(module, true);
  if (setUp.failure) return setUp.failure;
  return setUp.Install(folder, windows).ok ? 0 : 1;
}

// Three ways an installed product goes, each right after an install of its
// own: undone from the run's journal (the rollback), removed as the
// uninstall program removes it (its log read, then the logged files and
// folders deleted), and deleted plainly.
int InstallsRemoved(const std::string& folder, const std::string& windows, const char* module) {
  InstallSetUp setUp(module, false);
  if (setUp.failure) return setUp.failure;
  auto failed = [](const char* what) {
    std::printf("install bench: %s\n", what);
    return 1;
  };

  const RunResult undone = setUp.Install(folder, windows, true);
  if (!undone.ok) return failed("the install failed");
  if (!undone.undone) return failed("the install was not undone");

  const std::string uninstalled = folder + "-uninstalled";
  if (!setUp.Install(uninstalled, windows).ok) {
    return failed("the second install failed");
  }
  LARGE_INTEGER start = Now();
  const vx::programs::InstallLog log =
      vx::programs::ReadInstallLog(vx::InstallLogInWindowsFolder(windows));
  const double logRead = Milliseconds(start, Now());
  start = Now();
  vx::programs::UninstallReport report;
  vx::programs::RemoveLoggedFiles(log, uninstalled, "", report);
  vx::programs::RemoveLoggedFolders(log, uninstalled, "", report);
  const double removal = Milliseconds(start, Now());
  if (vx::FolderExists(uninstalled)) return failed("the uninstall left the install folder");

  const std::string plain = folder + "-plain";
  const RunResult kept = setUp.Install(plain, windows);
  if (!kept.ok) return failed("the third install failed");
  const double plainDeletion = PlainDeletion(kept, plain, plain);
  vx::bench::RemoveTree(plain);

  std::printf("%zu files, each time right after its install:\n"
              "  undone from the journal       %8.0f ms  (undone / plain %.2f)\n"
              "  the uninstall's log read      %8.0f ms\n"
              "  the uninstall's deletions     %8.0f ms  (deletions / plain %.2f)\n"
              "  deleted plainly               %8.0f ms\n",
              undone.files.size(), undone.undo, undone.undo / std::max(plainDeletion, 0.001),
              logRead, removal, removal / std::max(plainDeletion, 0.001), plainDeletion);
  return 0;
}

// One install into an empty folder, then the same again over it: every
// file that stands there is moved aside until the run is over, then deleted.
int InstallOver(const std::string& folder, const std::string& windows, const char* module) {
  InstallSetUp setUp(module, false);
  if (setUp.failure) return setUp.failure;
  const RunResult fresh = setUp.Install(folder, windows);
  const RunResult over = fresh.ok ? setUp.Install(folder, windows)
                                  : RunResult{};
  if (!over.ok) {
    std::printf("install bench: %s install failed\n", fresh.ok ? "the second" : "the first");
    return 1;
  }
  // The last step runs from the log to the end: the files moved aside are
  // deleted after the log is written.
  std::printf("%zu files: into an empty folder %.0f ms (unpacking %.0f, log and end %.0f); "
              "over that install %.0f ms (unpacking %.0f, log and the files moved aside "
              "deleted %.0f); over / empty %.2f\n",
              fresh.files.size(), fresh.total, fresh.unpack, fresh.registrySteps.back(),
              over.total, over.unpack, over.registrySteps.back(),
              over.total / std::max(fresh.total, 0.001));
  return 0;
}

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::string(argv[1]) == "over") {
    return InstallOver(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  }
  if ((argc == 4 || argc == 5) && std::string(argv[1]) == "once") {
    return InstallOnce(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  }
  if ((argc == 4 || argc == 5) && std::string(argv[1]) == "remove") {
    return InstallsRemoved(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char tempPath[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tempPath);
  const std::string root = std::string(tempPath) + "vx_install_bench_" +
                           std::to_string(GetCurrentProcessId());
  CreateDirectoryA(root.c_str(), nullptr);

  ScratchRegistry registry;
  if (!registry.ok()) {
    std::printf("install bench: cannot redirect the registry\n");
    return 1;
  }
  HWND window = CreateBenchWindow();
  if (!window) {
    std::printf("install bench: cannot create the message window\n");
    return 1;
  }

  PeakSampler sampler;
  Sleep(50);
  const size_t idle = PrivateBytes();

  std::vector<double> totals, extractions, unpacks, itemWork, registries, copies, peerWrites,
      digests, undos, plainDeletions;
  std::vector<std::vector<double>> registrySteps(std::size(kRegistrySteps));
  RunResult first;
  for (int run = 0; run < runs; ++run) {
    const std::string folder = root + "\\run" + std::to_string(run) + "\\VantorexLite";
    const std::string windows = root + "\\windows" + std::to_string(run);
    CreateDirectoryA((root + "\\run" + std::to_string(run)).c_str(), nullptr);
    CreateDirectoryA(windows.c_str(), nullptr);
    // The first run's files are the straight copies' source; every later
    // run is undone.
    RunResult result = RunInstall(window, folder, windows, nullptr, run > 0);
    if (!result.ok) {
      std::printf("install bench: run %d failed\n", run + 1);
      return 1;
    }
    if (run > 0 && !result.undone) {
      std::printf("install bench: run %d was not undone\n", run + 1);
      return 1;
    }
    if (run > 0) undos.push_back(result.undo);
    totals.push_back(result.total);
    extractions.push_back(result.extraction);
    unpacks.push_back(result.unpack);
    itemWork.push_back(result.itemWork);
    registries.push_back(result.registry);
    for (size_t i = 0; i < registrySteps.size(); ++i) {
      registrySteps[i].push_back(result.registrySteps[i]);
    }
    if (run == 0) {
      first = result;
      // Put the uninstall program back so the tree holds every item: the
      // source of the straight copies.
      for (const std::string& file : first.files) {
        if (!vx::FileExists(file)) {
          std::string name = file.substr(file.find_last_of('\\'));
          MoveFileA((windows + name).c_str(), file.c_str());
        }
      }
    } else {
      vx::bench::RemoveTree(root + "\\run" + std::to_string(run));
    }
    vx::bench::RemoveTree(windows);
    // The baseline right after each run, so both see the same machine load.
    const std::string target = root + "\\copy" + std::to_string(run);
    copies.push_back(StraightCopy(first, root + "\\run0\\VantorexLite", target));
    if (run > 0) {
      plainDeletions.push_back(PlainDeletion(first, root + "\\run0\\VantorexLite", target));
    }
    vx::bench::RemoveTree(target);
    peerWrites.push_back(PackageWrittenWithoutDigest(root));
    digests.push_back(DigestAlone());
    std::printf("run %d: %.0f ms (extraction %.0f, unpacking %.0f, registry and log %.0f); "
                "straight copy %.0f ms",
                run + 1, result.total, result.extraction, result.unpack, result.registry,
                copies.back());
    if (run > 0) {
      std::printf("; undone in %.0f ms, plain deletion %.0f ms", undos.back(),
                  plainDeletions.back());
    }
    std::printf("\n");
  }
  const size_t peak = sampler.Peak();
  vx::bench::RemoveTree(root);

  // The package copy is read through a window of fixed size, whatever the
  // size of an item or of the package; 4 MB more for everything else.
  const size_t limit = std::min<size_t>(vx::TempPackage::kWindowBytes,
                                        static_cast<size_t>(first.packageSize)) +
                       4u * 1024 * 1024;
  std::printf("\npackage: %d bytes, %zu items, largest item %d bytes; %d runs (%s build)\n",
              first.packageSize, first.items, first.largestItem, runs,
              sizeof(void*) == 4 ? "32-bit" : "64-bit");
  std::printf("worker install, median: %.0f ms (extraction %.0f, unpacking %.0f, registry and "
              "log %.0f)\n",
              Median(totals), Median(extractions), Median(unpacks), Median(registries));
  std::printf("unpacking, median: each item from its start to its end (folder, read, write, "
              "date) %.0f ms in all; between items (progress messages, item list) %.0f ms\n",
              Median(itemWork), Median(unpacks) - Median(itemWork));
  std::printf("registry and log, median by step:");
  for (size_t i = 0; i < registrySteps.size(); ++i) {
    std::printf("%s %s %.1f", i ? "," : "", kRegistrySteps[i], Median(registrySteps[i]));
  }
  std::printf(" ms\n");
  std::printf("straight copy of the same files (CopyFileA), median: %.0f ms; unpacking takes "
              "%.1f times as long\n",
              Median(copies), Median(unpacks) / std::max(Median(copies), 0.001));
  std::printf("extraction (written in pieces, each hashed as it goes), median: %.0f ms; the "
              "package written in one call without a digest: %.0f ms; ratio %.2f\n",
              Median(extractions), Median(peerWrites),
              Median(extractions) / std::max(Median(peerWrites), 0.001));
  std::printf("the package's SHA-256 alone, median: %.0f ms\n", Median(digests));
  if (!undos.empty()) {
    std::printf("undoing an install from its journal (runs 2 on), median: %.0f ms; the same "
                "files and folders deleted plainly (DeleteFileA, RemoveDirectoryA): %.0f ms; "
                "ratio %.2f\n",
                Median(undos), Median(plainDeletions),
                Median(undos) / std::max(Median(plainDeletions), 0.001));
  }
  std::printf("private memory: idle %.1f MB, peak %.1f MB, peak over idle %.1f MB "
              "(target: the package's read window + 4 MB = %.1f MB): %s\n",
              Mb(idle), Mb(peak), Mb(peak - std::min(peak, idle)), Mb(limit),
              peak - std::min(peak, idle) <= limit ? "within" : "OVER");
  if (size_t windowsPeak = WindowsPeakPrivateBytes(); windowsPeak > peak) {
    std::printf("(the system's own peak private bytes: %.1f MB)\n", Mb(windowsPeak));
  }
  return 0;
}
