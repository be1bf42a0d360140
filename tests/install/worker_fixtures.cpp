#include "worker_fixtures.h"

#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <ostream>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "package/package.h"
#include "install/prior_state.h"
#include "common/registry.h"
#include "common/sha256.h"

namespace vx::test {

namespace {

constexpr char kSinkClass[] = "VxInstallTestSink";
constexpr char kCarrierName[] = "vx_package_carrier.dll";

std::string g_windowsFolder;
std::atomic<unsigned> g_moduleCounter{0};

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Posted& posted) {
  return out << "{" << posted.message << ", " << static_cast<LONG_PTR>(posted.wParam) << ", "
             << posted.lParam << "}";
}

MessageSink::MessageSink() {
  static const ATOM kClass = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &MessageSink::Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSinkClass;
    return RegisterClassA(&windowClass);
  }();
  if (!kClass) return;
  hwnd_ = CreateWindowExA(0, kSinkClass, "sink", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  if (hwnd_) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageSink::~MessageSink() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageSink::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* sink = reinterpret_cast<MessageSink*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (sink && ((message >= WM_INST_PROGRESS && message <= WM_INST_DONE) ||
               message == kMarkerMessage)) {
    sink->messages.push_back({message, wParam, lParam});
    return 0;
  }
  if (sink && message == WM_INST_ENDED) {
    ++sink->relaysHandled;
    TVXInstallThread::DeliverCompletion(lParam);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

namespace {
void DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DispatchPending();
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

void PumpPending() { DispatchPending(); }

bool PumpUntilWaitingAtGate(const TVXInstallThread& worker, uint32_t after, DWORD timeoutMs) {
  if (!PumpUntil([&] { return worker.GateWaits() > after; }, timeoutMs)) return false;
  DispatchPending();
  return true;
}

bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs) {
  return PumpUntil([handle] { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; },
                   timeoutMs);
}

PackageModuleFile::PackageModuleFile(const std::string& folder, const std::string& bytes,
                                     std::optional<std::string> recordedDigest) {
  path_ = folder + "\\carrier" + std::to_string(g_moduleCounter++) + ".dll";
  if (!CopyFileA((ProgramFolder() + "\\" + kCarrierName).c_str(), path_.c_str(), FALSE)) return;
  if (!bytes.empty()) {
    const std::string digest = recordedDigest.value_or(DigestToHex(Sha256Of(bytes)));
    HANDLE update = BeginUpdateResourceA(path_.c_str(), FALSE);
    if (!update) return;
    const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    BOOL ok = UpdateResourceA(update, MAKEINTRESOURCEA(10), kPackageResourceName, neutral,
                              const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    if (ok && !digest.empty()) {
      ok = UpdateResourceA(update, MAKEINTRESOURCEA(10), kPackageDigestResourceName, neutral,
                           const_cast<char*>(digest.data()), static_cast<DWORD>(digest.size()));
    }
    if (!EndUpdateResourceA(update, !ok) || !ok) return;
  }
  module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

PackageModuleFile::~PackageModuleFile() {
  if (module_) FreeLibrary(module_);
  DeleteFileA(path_.c_str());
}

std::string BuildTestPackage(const std::vector<TestItem>& items) {
  std::vector<PackEntry> entries;
  for (const TestItem& item : items) {
    entries.push_back(PackEntry{item.folder, item.name, item.date, {}, item.content});
  }
  std::string bytes;
  BuildReport report = BuildPackageBytes(entries, DefaultPackageIdentifier(entries), bytes);
  return report.Code == kBuildOk ? bytes : std::string();
}

std::string RawTestPackage(const std::string& payload, const std::vector<std::string>& lines) {
  const int32_t listOffset = kPackHeaderSize + static_cast<int32_t>(payload.size());
  std::string bytes = PackageHeader("VXID_00001_0000000001", listOffset) + payload;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::vector<TestItem> SampleItems() {
  return {
      {"\\", "vxlite.exe", std::string(400, 'P'), DosDate(2009, 5, 3, 14, 30, 20)},
      {"\\", "vxlancelite.exe", std::string(300, 'L'), DosDate(2009, 4, 30, 9, 5, 0)},
      {"\\", "UninstallVXLite.exe", std::string(250, 'U'), DosDate(2008, 12, 24, 23, 59, 58)},
      {"\\Skins", "blue.skn", "skin", DosDate(1998, 6, 17, 8, 22, 6)},
      {"\\Projects", "demo.vx5", "project text", 0},
      {"\\Projects\\Compiled\\demo", "demo.jar", std::string(150, 'J'),
       DosDate(2007, 1, 2, 3, 4, 6)},
      {"\\SampleContent", "readme.txt", "sample", DosDate(2009, 5, 1, 12, 0, 0)},
  };
}

int32_t DosDate(int year, int month, int day, int hour, int minute, int second) {
  return PackDosDateTime({year, month, day, hour, minute, second}).value_or(0);
}

SYSTEMTIME LocalWriteTime(const std::string& path) {
  SYSTEMTIME local{};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME localTime{};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
      FileTimeToLocalFileTime(&data.ftLastWriteTime, &localTime)) {
    FileTimeToSystemTime(&localTime, &local);
  }
  return local;
}

std::string TestWindowsFolder() { return g_windowsFolder; }

std::string TestProgramPath(const char* name) { return ProgramFolder() + "\\" + name; }

namespace {
bool IsPackageFolderName(const std::string& name) {
  const std::string prefix = "vxsetup-";
  if (name.size() != prefix.size() + 16 || name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  return name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}
}  // namespace

std::vector<std::string> PackageFoldersIn(const std::string& folder) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry{};
  FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &entry));
  if (!search) return found;
  do {
    if (IsPackageFolderName(entry.cFileName)) found.push_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  return found;
}

bool IsPrivatePackagePath(const std::string& path, const std::string& parent) {
  std::string base = parent;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  const std::string tail = std::string("\\") + kTempPackageFileName;
  if (path.size() < base.size() + 1 + tail.size() || path.compare(0, base.size(), base) != 0 ||
      path[base.size()] != '\\' || path.compare(path.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  return IsPackageFolderName(path.substr(base.size() + 1, path.size() - tail.size() - base.size() - 1));
}

InstallScratch::InstallScratch(const std::string& scratch)
    : temp(scratch + "\\temp"),
      windows(scratch + "\\windows"),
      installDir(scratch + "\\" + kDefaultFolderName),
      made_(CreateDirectoryA(temp.c_str(), nullptr) &&
            CreateDirectoryA(windows.c_str(), nullptr)),
      tempOverride_(temp) {  // the worker's temporary package goes there
  g_windowsFolder = windows;
}

void WorkerTest::SetUp() {
  RegistryAndFilesTest::SetUp();
  install_.emplace(scratch_.path());
  ASSERT_TRUE(install_->Made());
  temp_ = install_->temp;
  windows_ = install_->windows;
  installDir_ = install_->installDir;
  sink_ = std::make_unique<MessageSink>();
  ASSERT_NE(sink_->hwnd(), nullptr);
}

void WorkerTest::TearDown() {
  sink_.reset();
  install_.reset();
  RegistryAndFilesTest::TearDown();
}

std::unique_ptr<TVXInstallThread> WorkerTest::MakeWorker(int32_t mode, HMODULE module,
                                                         std::optional<InstallRequest> request) {
  auto worker = std::make_unique<TVXInstallThread>(true, mode, sink_->hwnd(), &journal_,
                                                   request.value_or(InstallRequest(installDir_)));
  worker->PackageModule = module;
  worker->WindowsFolder = windows_;
  worker->QueryWindowsFolder = &TestWindowsFolder;
  worker->OnTerminate = [this](TVXInstallThread& w) {
    ++callback_.calls;
    callback_.threadId = GetCurrentThreadId();
    callback_.mode = w.Mode.load();
    callback_.resultCode = w.ResultCode;
  };
  return worker;
}

bool WorkerTest::RunToEnd(TVXInstallThread& worker, DWORD timeoutMs) {
  if (!worker.Start()) return false;
  return PumpUntilSignalled(worker.ThreadHandle(), timeoutMs);
}

void WorkerTest::DrainMessages() {
  DispatchPending();
  sink_->messages.clear();
}

std::vector<Posted> WorkerTest::Only(UINT message) const {
  std::vector<Posted> kept;
  for (const Posted& posted : sink_->messages) {
    if (posted.message == message) kept.push_back(posted);
  }
  return kept;
}

// Creates a key that can be read and deleted but not opened for writing, as
// Windows protects a user's "UserChoice" key.
bool CreateWriteProtectedKey(HKEY root, const std::string& key) {
  RegKey created;
  if (CreateRegistryKey(root, key, KEY_ALL_ACCESS, created) != ERROR_SUCCESS) return false;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Deny setting values and creating subkeys to everyone; allow the rest.
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)",
                                                            SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  LONG rc = RegSetKeySecurity(created.get(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  RegKey probe;
  return rc == ERROR_SUCCESS &&
         OpenRegistryKey(root, key, KEY_ALL_ACCESS, probe) == ERROR_ACCESS_DENIED;
}


namespace {

const HKEY kSnapshotRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER};
const char* RootName(HKEY root) {
  return root == HKEY_LOCAL_MACHINE ? "HKLM" : root == HKEY_CLASSES_ROOT ? "HKCR" : "HKCU";
}

void ListFolder(const std::string& folder, std::vector<std::pair<std::string, std::string>>& out) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.emplace_back(path + "\\", std::string());
      ListFolder(path, out);
    } else {
      std::string bytes;
      if (!ReadFileBytes(path, bytes)) bytes = "<unreadable>";
      out.emplace_back(path, std::move(bytes));
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void CompareKeys(const KeyState& before, const KeyState& now, std::vector<std::string>& out) {
  const std::string where = std::string(RootName(now.root)) + "\\" + now.path;
  if (before.existed != now.existed) {
    out.push_back(where + (now.existed ? ": key added" : ": key gone"));
    return;
  }
  for (const auto& value : before.values) {
    auto same = std::find_if(now.values.begin(), now.values.end(),
                             [&](const auto& v) { return v.name == value.name; });
    if (same == now.values.end()) {
      out.push_back(where + ": value gone: \"" + value.name + "\"");
    } else if (!(*same == value)) {
      out.push_back(where + ": value changed: \"" + value.name + "\"");
    }
  }
  for (const auto& value : now.values) {
    if (std::none_of(before.values.begin(), before.values.end(),
                     [&](const auto& v) { return v.name == value.name; })) {
      out.push_back(where + ": value added: \"" + value.name + "\"");
    }
  }
  for (const auto& subkey : before.subkeys) {
    auto same = std::find_if(now.subkeys.begin(), now.subkeys.end(),
                             [&](const KeyState& k) { return k.path == subkey.path; });
    if (same == now.subkeys.end()) {
      out.push_back(std::string(RootName(now.root)) + "\\" + subkey.path + ": key gone");
    } else {
      CompareKeys(subkey, *same, out);
    }
  }
  for (const auto& subkey : now.subkeys) {
    if (std::none_of(before.subkeys.begin(), before.subkeys.end(),
                     [&](const KeyState& k) { return k.path == subkey.path; })) {
      out.push_back(std::string(RootName(now.root)) + "\\" + subkey.path + ": key added");
    }
  }
}

}  // namespace

MachineSnapshot::MachineSnapshot(std::vector<std::string> folders) : folders_(std::move(folders)) {
  for (HKEY root : kSnapshotRoots) keys_.push_back(CaptureKey(root, ""));
  for (const std::string& folder : folders_) {
    if (FolderExists(folder)) files_.emplace_back(folder + "\\", std::string());
    ListFolder(folder, files_);
  }
  std::sort(files_.begin(), files_.end());
}

std::vector<std::string> MachineSnapshot::Differences(const MachineSnapshot& before) const {
  std::vector<std::string> out;
  for (size_t i = 0; i < keys_.size() && i < before.keys_.size(); ++i) {
    CompareKeys(before.keys_[i], keys_[i], out);
  }
  for (const auto& [path, bytes] : before.files_) {
    auto now = std::lower_bound(files_.begin(), files_.end(), std::make_pair(path, std::string()),
                                [](const auto& a, const auto& b) { return a.first < b.first; });
    if (now == files_.end() || now->first != path) {
      out.push_back(path + ": gone");
    } else if (now->second != bytes) {
      out.push_back(path + ": changed");
    }
  }
  for (const auto& [path, bytes] : files_) {
    if (std::none_of(before.files_.begin(), before.files_.end(),
                     [&](const auto& entry) { return entry.first == path; })) {
      out.push_back(path + ": added");
    }
  }
  return out;
}

}  // namespace vx::test
