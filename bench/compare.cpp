// Side-by-side benchmark, run by bench/compare under Wine. Round by round, in
// the same order each round so all see the same machine load:
//   - the setup's worker: one whole process installing the package
//     (vx_install_bench once), registry and log included;
//   - the plainest installer of the same package (vx_plain_install);
//   - an NSIS installer of the same payload, store-only, silent (when given);
//   - the setup started until its first page is shown, and Wine's notepad
//     started until its window is shown.
// Every install goes into a fresh folder and is checked against the payload
// folder (every file there, bytes and last-write time) before it is removed.
// Prints, per contender, the median, minimum and maximum time, then the
// ratios of the medians.
//
// Usage: vx_bench_compare <rounds> <work folder> <payload folder>
//            worker=<exe> plain=<exe> setup=<exe> [nsis=<exe>]
//            [baseline-worker=<exe>] [baseline-setup=<exe>]
// (the baseline: the worker benchmark and setup of another build, to see
// what a change pays in the same run).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    Fail("cannot start " + commandLine);
  }
  CloseHandle(info.hThread);
  if (processId) *processId = info.dwProcessId;
  return KernelHandle(info.hProcess);
}

// Runs a program to its end; the time from its start to its end. (Wine's
// process times are no use here: it reports more CPU time than wall time.)
double RunToEnd(const std::string& commandLine) {
  const LARGE_INTEGER start = Now();
  KernelHandle process = Start(commandLine);
  if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) Fail("timed out: " + commandLine);
  const LARGE_INTEGER end = Now();
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  if (code != 0) Fail("exit code " + std::to_string(code) + ": " + commandLine);
  return 1000.0 * Seconds(start, end);
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
double StartToWindow(const std::string& commandLine, const char* className,
                     const char* childText) {
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
                         const std::string& target, const std::string& elsewhere,
                         const char* who) {
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
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintSeries(const Series& series) {
  if (series.wall.empty()) return;
  std::printf("  %-52s %7.0f %7.0f %7.0f\n", series.name, Median(series.wall),
              *std::min_element(series.wall.begin(), series.wall.end()),
              *std::max_element(series.wall.begin(), series.wall.end()));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

int main(int argc, char** argv) {
  // Arguments: rounds, work folder, payload folder, then name=path pairs.
  std::string workerExe, plain, setup, nsis, baselineWorker, baselineSetup;
  struct Option {
    const char* name;
    std::string* value;
  };
  const Option options[] = {{"worker", &workerExe},  {"plain", &plain},
                            {"setup", &setup},        {"nsis", &nsis},
                            {"baseline-worker", &baselineWorker},
                            {"baseline-setup", &baselineSetup}};
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
  if (argc < 4 || workerExe.empty() || plain.empty() || setup.empty()) {
    std::printf("usage: vx_bench_compare <rounds> <work> <payload> worker=<exe> plain=<exe> "
                "setup=<exe> [nsis=<exe>] [baseline-worker=<exe>] [baseline-setup=<exe>]\n");
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  const std::string work = argv[2], payload = argv[3];
  std::vector<std::string> files;
  ListFiles(payload, "", files);
  if (files.empty()) Fail("no files in " + payload);
  CreateDirectoryA(work.c_str(), nullptr);

  Series worker{"setup's worker, whole process (full install)"};
  Series baseline{"baseline build's worker, whole process"};
  Series plainSeries{"plain installer (CreateFile/WriteFile/SetFileTime)"};
  Series nsisSeries{"NSIS, store-only, silent"};
  Series startSetup{"setup, start to first page shown"};
  Series startBaseline{"baseline build's setup, start to first page"};
  Series startNotepad{"notepad, start to its window shown"};
  // Round 0 warms the caches up and is not counted.
  for (int round = 0; round <= rounds; ++round) {
    if (round == 1) {
      for (Series* series : {&worker, &baseline, &plainSeries, &nsisSeries, &startSetup, &startBaseline,
                            &startNotepad}) {
        series->wall.clear();
      }
    }
    const std::string base = work + "\\round" + std::to_string(round);
    CreateDirectoryA(base.c_str(), nullptr);

    const std::string workerTarget = base + "\\worker\\VantorexLite";
    const std::string windows = base + "\\windows";
    CreateDirectoryA((base + "\\worker").c_str(), nullptr);
    CreateDirectoryA(windows.c_str(), nullptr);
    double ms = RunToEnd(Quoted(workerExe) + " once " + Quoted(workerTarget) + " " +
                        Quoted(windows));
    worker.wall.push_back(ms);
    CheckAgainstPayload(payload, files, workerTarget, windows, "worker");

    if (!baselineWorker.empty()) {
      const std::string target = base + "\\baseline\\VantorexLite";
      const std::string baselineWindows = base + "\\baseline-windows";
      CreateDirectoryA((base + "\\baseline").c_str(), nullptr);
      CreateDirectoryA(baselineWindows.c_str(), nullptr);
      ms = RunToEnd(Quoted(baselineWorker) + " once " + Quoted(target) + " " +
                   Quoted(baselineWindows));
      baseline.wall.push_back(ms);
      CheckAgainstPayload(payload, files, target, baselineWindows, "baseline worker");
    }

    const std::string plainTarget = base + "\\plain\\VantorexLite";
    ms = RunToEnd(Quoted(plain) + " " + Quoted(plainTarget));
    plainSeries.wall.push_back(ms);
    CheckAgainstPayload(payload, files, plainTarget, "", "plain installer");

    if (!nsis.empty()) {
      const std::string nsisTarget = base + "\\nsis\\VantorexLite";
      ms = RunToEnd(Quoted(nsis) + " /S /D=" + nsisTarget);  // /D: last, unquoted
      nsisSeries.wall.push_back(ms);
      CheckAgainstPayload(payload, files, nsisTarget, "", "NSIS installer");
    }

    startSetup.wall.push_back(
        StartToWindow(Quoted(setup), vx::kWizardClassName, vx::text::kWelcome));
    if (!baselineSetup.empty()) {
      startBaseline.wall.push_back(
          StartToWindow(Quoted(baselineSetup), vx::kWizardClassName, vx::text::kWelcome));
    }
    startNotepad.wall.push_back(StartToWindow("notepad.exe", "Notepad", nullptr));

    vx::bench::RemoveTree(base);
    std::printf(round == 0 ? "warm-up round done\n" : "round %d of %d done\n", round, rounds);
    std::fflush(stdout);
  }
  vx::bench::RemoveTree(work);

  std::printf("\n%zu payload files checked after every install (bytes and dates); %d rounds\n",
              files.size(), rounds);
  std::printf("  %-52s %7s %7s %7s\n", "ms", "median", "min", "max");
  for (const Series* series : {&worker, &baseline, &plainSeries, &nsisSeries, &startSetup, &startBaseline,
                            &startNotepad}) {
    PrintSeries(*series);
  }
  const double workerMedian = Median(worker.wall);
  std::printf("\nworker / plain installer: %.2f\n", workerMedian / Median(plainSeries.wall));
  if (!nsisSeries.wall.empty()) {
    std::printf("worker / NSIS: %.2f\n", workerMedian / Median(nsisSeries.wall));
  } else {
    std::printf("worker / NSIS: not measured (no NSIS installer given)\n");
  }
  if (!baseline.wall.empty()) {
    std::printf("worker / baseline worker: %.2f\n", workerMedian / Median(baseline.wall));
  }
  std::printf("setup start - notepad start: %+.0f ms (ratio %.2f)\n",
              Median(startSetup.wall) - Median(startNotepad.wall),
              Median(startSetup.wall) / Median(startNotepad.wall));
  if (!startBaseline.wall.empty()) {
    std::printf("setup start / baseline setup start: %.2f\n",
                Median(startSetup.wall) / Median(startBaseline.wall));
  }
  return 0;
}
