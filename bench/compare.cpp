// Side-by-side benchmark, run by bench/compare under Wine. Round by round, in
// the same order each round so all see the same machine load:
//   - the setup's worker: one whole process installing the package
//     (vx_install_bench once), registry and log included;
//   - the plainest installer of the same package (vx_plain_install);
//   - an NSIS installer of the same payload, store-only, silent (when given);
//   - a Windows Installer package of the same payload, installed silently by
//     msiexec into a fresh folder and removed again (msiexec /x, untimed)
//     after its check, so every round is a first install (when given);
//   - one plain copy of the package file (vx_plain_copy, when given): with
//     the plain installer, the floor of an installer that writes its package
//     out once before it unpacks it (floor = plain + copy, round by round);
//   - the setup started until its first page is shown, and Wine's notepad
//     started until its window is shown.
// Every install goes into a fresh folder and is checked against the payload
// folder (every file there, bytes and last-write time) before it is removed.
// Before each timed run, what earlier runs wrote is written back to the
// host's disk and waited for, so no run pays for another's writing.
// Prints, per contender, the median, minimum and maximum time and each
// installer's peak private memory, then the ratios of the medians and one
// table row of the lot.
//
// Usage: vx_bench_compare <rounds> <work folder> <payload folder>
//            worker=<exe> plain=<exe> setup=<exe> [nsis=<exe>]
//            [msi=<msi> msi-product=<product code>] [copy=<exe> copy-source=<file>]
//            [module=<package module>] [label=<payload name>]
//            [baseline-worker=<exe>] [baseline-setup=<exe>] [installs=no]
//            [starts=no]
// (module: the worker and the plain installer read the package from that
// DLL instead of their own resources;
// the baseline: the worker benchmark and setup of another build, to see
// what a change pays in the same run).
#include <windows.h>
// after windows.h, which it needs
#include <msi.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "common/handles.h"
#include "common/product.h"

namespace {

using vx::FileHandle;
using vx::FindHandle;
using vx::KernelHandle;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

[[noreturn]] void Fail(const std::string& what) {
  std::printf("bench compare: %s\n", what.c_str());
  std::fflush(stdout);
  std::exit(1);
}

KernelHandle Start(const std::string& commandLine, DWORD* processId = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    Fail("cannot start " + commandLine);
  }
  CloseHandle(info.hThread);
  if (processId) *processId = info.dwProcessId;
  return KernelHandle(info.hProcess);
}

// The larger of a process's private bytes now and at their peak (Wine
// reports private memory as PagefileUsage and keeps no peak of its own); 0
// once the process is gone.
size_t PrivateBytesOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
  return std::max(counters.PagefileUsage, counters.PeakPagefileUsage);
}

// Runs a program to its end; the time from its start to its end. (Wine's
// process times are no use here: it reports more CPU time than wall time.)
// peakMb: the highest private memory seen, looked at every 5 ms while it runs.
double RunToEnd(const std::string& commandLine, double* peakMb = nullptr) {
  const LARGE_INTEGER start = Now();
  KernelHandle process = Start(commandLine);
  const ULONGLONG limit = GetTickCount64() + 1800000;
  size_t peak = 0;
  while (WaitForSingleObject(process.get(), 5) == WAIT_TIMEOUT) {
    peak = std::max(peak, PrivateBytesOf(process.get()));
    if (GetTickCount64() > limit) Fail("timed out: " + commandLine);
  }
  const LARGE_INTEGER end = Now();
  if (peakMb) *peakMb = static_cast<double>(peak) / (1024.0 * 1024.0);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  if (code != 0) Fail("exit code " + std::to_string(code) + ": " + commandLine);
  return 1000.0 * Seconds(start, end);
}

// The host's page cache not yet on disk (Dirty plus Writeback of
// /proc/meminfo, read through Wine's drive Z:), in MB; -1 when unreadable.
double HostUnwrittenMb() {
  FileHandle file(CreateFileA("Z:\\proc\\meminfo", GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  if (!file) return -1;
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  double kb = 0;
  bool seen = false;
  for (const char* name : {"\nDirty:", "\nWriteback:"}) {
    const size_t at = text.find(name);
    if (at == std::string::npos) continue;
    kb += std::atof(text.c_str() + at + std::strlen(name));
    seen = true;
  }
  return seen ? kb / 1024.0 : -1;
}

// Before each timed run: what the runs before it wrote goes to disk first
// (the host's sync, then a wait until little is left unwritten), so that no
// contender pays for the writing back of another's files. A large product
// leaves gigabytes behind each install, and whoever ran next paid for it.
// A few tens of MB are left alone: waiting idle costs the next run more
// than that much writing back does. Off where the host's memory figures
// cannot be read.
void SettleHostDisk() {
  if (HostUnwrittenMb() <= 64) return;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  char line[] = "/bin/sync";
  // A Unix program: Wine starts it without a process to wait for.
  if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
  }
  const ULONGLONG limit = GetTickCount64() + 120000;
  while (HostUnwrittenMb() > 8 && GetTickCount64() < limit) Sleep(20);
}

struct WindowSearch {
  DWORD processId;
  const char* className;
  const char* childText;  // null: the window alone is enough
  bool found = false;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  char text[256] = {};
  GetWindowTextA(child, text, sizeof text);
  if (IsWindowVisible(child) && std::strcmp(text, search->childText) == 0) search->found = true;
  return !search->found;
}

BOOL CALLBACK MatchTop(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == search->processId && IsWindowVisible(window) &&
      std::strcmp(name, search->className) == 0) {
    if (!search->childText) {
      search->found = true;
    } else {
      EnumChildWindows(window, &MatchChild, context);
    }
  }
  return !search->found;
}

// Starts a program and waits until a visible window of its class (holding a
// visible child with the given text, when one is given) is shown; the time
// to that point. The program is ended afterwards.
double StartToWindow(const std::string& commandLine, const char* className, const char* childText,
                     double* privateMb) {
  const LARGE_INTEGER start = Now();
  DWORD processId = 0;
  KernelHandle process = Start(commandLine, &processId);
  const ULONGLONG limit = GetTickCount64() + 60000;
  for (;;) {
    WindowSearch search{processId, className, childText};
    EnumWindows(&MatchTop, reinterpret_cast<LPARAM>(&search));
    if (search.found) break;
    if (GetTickCount64() > limit) Fail("no window shown by " + commandLine);
    Sleep(1);
  }
  const double ms = 1000.0 * Seconds(start, Now());
  // Private bytes at that point (Wine reports them as PagefileUsage).
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
    *privateMb = static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
  }
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 10000);
  return ms;
}

bool ReadWhole(const std::string& path, std::string& bytes, FILETIME& written) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) ||
      !GetFileTime(file.get(), nullptr, nullptr, &written)) {
    return false;
  }
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes.empty() ||
         (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size());
}

// The same bytes in both files, read a piece at a time (a package may not
// fit a 32-bit program's memory twice).
bool SameBytes(const std::string& a, const std::string& b) {
  FileHandle one(CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  FileHandle two(CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!one || !two) return false;
  std::vector<char> left(1 << 20), right(1 << 20);
  for (;;) {
    DWORD readLeft = 0, readRight = 0;
    if (!ReadFile(one.get(), left.data(), static_cast<DWORD>(left.size()), &readLeft, nullptr) ||
        !ReadFile(two.get(), right.data(), static_cast<DWORD>(right.size()), &readRight,
                  nullptr) ||
        readLeft != readRight || std::memcmp(left.data(), right.data(), readLeft) != 0) {
      return false;
    }
    if (readLeft == 0) return true;
  }
}

// Every file of the payload folder, relative to it ("\Sub\name").
void ListFiles(const std::string& root, const std::string& relative,
               std::vector<std::string>& files) {
  WIN32_FIND_DATAA found{};
  FindHandle search(FindFirstFileA((root + relative + "\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(root, relative + "\\" + name, files);
    } else {
      files.push_back(relative + "\\" + name);
    }
  } while (FindNextFileA(search.get(), &found));
}

// The installed copy of every payload file has its bytes and its
// last-write time (to the 2 seconds the package's dates keep). elsewhere:
// a second place to look for a file missing in the target (the worker moves
// the uninstall program into the Windows folder).
void CheckAgainstPayload(const std::string& payload, const std::vector<std::string>& files,
                         const std::string& target, const std::string& elsewhere, const char* who) {
  for (const std::string& file : files) {
    std::string expected, got;
    FILETIME expectedTime{}, gotTime{};
    if (!ReadWhole(payload + file, expected, expectedTime)) Fail("cannot read " + payload + file);
    std::string installed = target + file;
    if (GetFileAttributesA(installed.c_str()) == INVALID_FILE_ATTRIBUTES && !elsewhere.empty()) {
      installed = elsewhere + file.substr(file.find_last_of('\\'));
    }
    if (!ReadWhole(installed, got, gotTime)) Fail(std::string(who) + ": missing " + file);
    if (got != expected) Fail(std::string(who) + ": other bytes in " + file);
    auto ticks = [](const FILETIME& t) {
      return static_cast<long long>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                    t.dwLowDateTime);
    };
    if (std::llabs(ticks(gotTime) - ticks(expectedTime)) > 20000000LL) {
      Fail(std::string(who) + ": other date on " + file);
    }
  }
}

struct Series {
  explicit Series(const char* name) : name(name) {}
  const char* name;
  std::vector<double> wall;
  // Programs started to their window: private memory at the window;
  // installers: their peak private memory.
  std::vector<double> privateMb;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintSeries(const Series& series) {
  if (series.wall.empty()) return;
  std::printf("  %-52s %7.0f %7.0f %7.0f", series.name, Median(series.wall),
              *std::min_element(series.wall.begin(), series.wall.end()),
              *std::max_element(series.wall.begin(), series.wall.end()));
  if (!series.privateMb.empty()) std::printf("   %6.1f", Median(series.privateMb));
  std::printf("\n");
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

int main(int argc, char** argv) {
  // Arguments: rounds, work folder, payload folder, then name=path pairs.
  std::string workerExe, plain, setup, nsis, msi, msiProduct, copy, copySource, module, label,
      baselineWorker, baselineSetup, installs = "yes", starts = "yes";
  struct Option {
    const char* name;
    std::string* value;
  };
  const Option options[] = {{"worker", &workerExe},
                            {"plain", &plain},
                            {"setup", &setup},
                            {"nsis", &nsis},
                            {"msi", &msi},
                            {"msi-product", &msiProduct},
                            {"copy", &copy},
                            {"copy-source", &copySource},
                            {"module", &module},
                            {"label", &label},
                            {"baseline-worker", &baselineWorker},
                            {"baseline-setup", &baselineSetup},
                            {"installs", &installs},
                            {"starts", &starts}};
  for (int i = 4; i < argc; ++i) {
    const std::string argument = argv[i];
    const size_t equals = argument.find('=');
    bool known = false;
    for (const Option& option : options) {
      if (argument.substr(0, equals) == option.name) {
        *option.value = argument.substr(equals + 1);
        known = true;
      }
    }
    if (!known || equals == std::string::npos) Fail("unknown argument " + argument);
  }
  if (argc < 4 || (starts != "no" && setup.empty()) || msi.empty() != msiProduct.empty() ||
      copy.empty() != copySource.empty() ||
      (installs != "no" && (workerExe.empty() || plain.empty()))) {
    std::printf(
        "usage: vx_bench_compare <rounds> <work> <payload> worker=<exe> plain=<exe> "
        "setup=<exe> [nsis=<exe>] [msi=<msi> msi-product=<code>] [copy=<exe> copy-source=<file>] "
        "[module=<dll>] [label=<name>] [baseline-worker=<exe>] [baseline-setup=<exe>] "
        "[installs=no] [starts=no]\n");
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  const std::string work = argv[2], payload = argv[3];
  std::vector<std::string> files;
  ListFiles(payload, "", files);
  if (files.empty()) Fail("no files in " + payload);
  CreateDirectoryA(work.c_str(), nullptr);

  // One contender: what it is called, and one timed run of it in a round's
  // folder (an install is checked against the payload after its timing).
  struct Contender {
    Series series;
    std::function<double(const std::string& base, double* privateMb)> run;
  };
  std::vector<Contender> contenders;
  enum class Installer { Worker, Plain, Nsis, Msi, Copy };  // how each is told the folder
  const std::string moduleArgument = module.empty() ? "" : " " + Quoted(module);
  auto addInstall = [&](const char* name, const char* folder, const std::string& exe,
                        Installer kind) {
    contenders.push_back(
        {Series(name), [&payload, &files, &msiProduct, &copySource, moduleArgument, folder, exe,
                        kind, name](const std::string& base, double* privateMb) {
           const std::string own = base + "\\" + folder;
           const std::string target = own + "\\VantorexLite";
           const std::string windows = own + "\\windows";
           CreateDirectoryA(own.c_str(), nullptr);
           CreateDirectoryA(windows.c_str(), nullptr);
           std::string command;
           switch (kind) {
             case Installer::Worker:
               command = Quoted(exe) + " once " + Quoted(target) + " " + Quoted(windows) +
                         moduleArgument;
               break;
             case Installer::Plain:
               command = Quoted(exe) + " " + Quoted(target) + moduleArgument;
               break;
             case Installer::Nsis:
               command = Quoted(exe) + " /S /D=" + target;  // /D: last, unquoted
               break;
             case Installer::Msi:
               command = "msiexec /i " + Quoted(exe) + " /qn INSTALLDIR=" + Quoted(target);
               break;
             case Installer::Copy:
               command = Quoted(exe) + " " + Quoted(copySource) + " " + Quoted(own + "\\copy");
               break;
           }
           const double ms = RunToEnd(command, privateMb);
           if (kind == Installer::Worker)
             vx::bench::RemoveRegistryTree(vx::bench::kScratchRegistryKey);
           if (kind == Installer::Copy) {
             if (!SameBytes(copySource, own + "\\copy")) Fail(std::string(name) + ": other bytes");
           } else {
             // The worker moves the uninstall program into its Windows folder.
             CheckAgainstPayload(payload, files, target, kind == Installer::Worker ? windows : "",
                                 name);
           }
           if (kind == Installer::Msi) {
             // Unregistered again, so the next round installs afresh.
             RunToEnd("msiexec /x " + Quoted(exe) + " /qn INSTALLDIR=" + Quoted(target));
             const INSTALLSTATE state = MsiQueryProductStateA(msiProduct.c_str());
             if (state != INSTALLSTATE_UNKNOWN) {
               Fail(std::string(name) + ": product state " + std::to_string(state) +
                    " after msiexec /x");
             }
           }
           vx::bench::RemoveTree(own);
           return ms;
         }});
  };
  auto addStart = [&](const char* name, const std::string& exe) {
    contenders.push_back({Series(name), [exe](const std::string&, double* privateMb) {
                            return StartToWindow(Quoted(exe), vx::kWizardClassName,
                                                 vx::text::kWelcome, privateMb);
                          }});
  };
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t plainAt = kNone, nsisAt = kNone, msiAt = kNone, copyAt = kNone;
  if (installs != "no") {
    addInstall("setup's worker, whole process (full install)", "worker", workerExe,
               Installer::Worker);
    if (!baselineWorker.empty()) {
      addInstall("baseline build's worker, whole process", "baseline", baselineWorker,
                 Installer::Worker);
    }
    plainAt = contenders.size();
    addInstall("plain installer (CreateFile/WriteFile/SetFileTime)", "plain", plain,
               Installer::Plain);
    if (!nsis.empty()) {
      nsisAt = contenders.size();
      addInstall("NSIS, store-only, silent", "nsis", nsis, Installer::Nsis);
    }
    if (!msi.empty()) {
      msiAt = contenders.size();
      addInstall("MSI, msiexec /i /qn", "msi", msi, Installer::Msi);
    }
    if (!copy.empty()) {
      copyAt = contenders.size();
      addInstall("one plain copy of the package (CopyFileA)", "copy", copy, Installer::Copy);
    }
  }
  const size_t firstStart = contenders.size();
  if (starts != "no") {
    addStart("setup, start to first page shown", setup);
    if (!baselineSetup.empty()) {
      addStart("baseline build's setup, start to first page", baselineSetup);
    }
    contenders.push_back(
        {Series("notepad, start to its window shown"), [](const std::string&, double* privateMb) {
           return StartToWindow("notepad.exe", "Notepad", nullptr, privateMb);
         }});
  }
  if (contenders.empty()) Fail("nothing to measure");

  // Round 0 warms the caches up and is not counted. Each round starts with
  // another contender, so none always runs right after the clean-up.
  for (int round = 0; round <= rounds; ++round) {
    const std::string base = work + "\\round" + std::to_string(round);
    CreateDirectoryA(base.c_str(), nullptr);
    for (size_t i = 0; i < contenders.size(); ++i) {
      Contender& contender = contenders[(i + static_cast<size_t>(round)) % contenders.size()];
      double privateMb = -1;
      SettleHostDisk();
      const double ms = contender.run(base, &privateMb);
      if (round > 0) contender.series.wall.push_back(ms);
      if (round > 0 && privateMb >= 0) contender.series.privateMb.push_back(privateMb);
    }
    vx::bench::RemoveTree(base);
    std::printf(round == 0 ? "warm-up round done\n" : "round %d of %d done\n", round, rounds);
    std::fflush(stdout);
  }
  vx::bench::RemoveTree(work);

  std::printf("\n%d rounds%s\n", rounds,
              installs == "no" ? ""
                               : (", " + std::to_string(files.size()) +
                                  " payload files checked after every install (bytes and dates)")
                                     .c_str());
  // The floor: the plain installer and the copy of the same round, added.
  Series floor("floor: plain installer + plain copy, same round");
  if (plainAt != kNone && copyAt != kNone) {
    for (size_t round = 0; round < contenders[copyAt].series.wall.size(); ++round) {
      floor.wall.push_back(contenders[plainAt].series.wall[round] +
                           contenders[copyAt].series.wall[round]);
    }
  }
  std::printf("  %-52s %7s %7s %7s   %s\n", "ms", "median", "min", "max",
              "private MB: installers' peak, others' at their window (median)");
  for (const Contender& contender : contenders) PrintSeries(contender.series);
  PrintSeries(floor);
  std::printf("\n");
  auto median = [&](size_t at) { return Median(contenders[at].series.wall); };
  auto ratio = [&](double of, double to, const char* text) {
    std::printf("%s: %.2f\n", text, of / to);
  };
  if (installs != "no") {
    const double worker = median(0);
    ratio(worker, median(plainAt), "worker / plain installer");
    if (nsisAt != kNone) {
      ratio(worker, median(nsisAt), "worker / NSIS");
    } else {
      std::printf("worker / NSIS: not measured (no NSIS installer given)\n");
    }
    if (msiAt != kNone) ratio(worker, median(msiAt), "worker / MSI");
    if (!floor.wall.empty()) ratio(worker, Median(floor.wall), "worker / floor");
    if (!baselineWorker.empty()) ratio(worker, median(1), "worker / baseline build's worker");
    // One row for the README's table; a contender not measured is "-".
    auto cell = [](double value, const char* format) {
      char text[32];
      std::snprintf(text, sizeof text, format, value);
      return value > 0 ? std::string(text) : std::string("-");
    };
    const double nsisMs = nsisAt != kNone ? median(nsisAt) : 0;
    const double msiMs = msiAt != kNone ? median(msiAt) : 0;
    const double floorMs = Median(floor.wall);
    std::printf("\n| payload | worker | plain | NSIS | MSI | floor | worker/NSIS | worker/MSI | "
                "worker/floor | worker peak private MB |\n");
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                label.empty() ? payload.c_str() : label.c_str(), cell(worker, "%.0f").c_str(),
                cell(median(plainAt), "%.0f").c_str(), cell(nsisMs, "%.0f").c_str(),
                cell(msiMs, "%.0f").c_str(), cell(floorMs, "%.0f").c_str(),
                cell(nsisMs > 0 ? worker / nsisMs : 0, "%.2f").c_str(),
                cell(msiMs > 0 ? worker / msiMs : 0, "%.2f").c_str(),
                cell(floorMs > 0 ? worker / floorMs : 0, "%.2f").c_str(),
                cell(Median(contenders[0].series.privateMb), "%.1f").c_str());
  }
  if (starts != "no") {
    const double startGap =
        Median(contenders[firstStart].series.wall) - Median(contenders.back().series.wall);
    std::printf("setup start - notepad start: %+.0f ms\n", startGap);
    if (!baselineSetup.empty()) {
      ratio(firstStart, firstStart + 1, "setup start / baseline build's setup start");
    }
  }
  return 0;
}
