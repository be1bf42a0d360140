// The product's uninstall program, the file the uninstall record names. It
// removes what the install log names (files, then the folders that are empty,
// deepest first), the setup's registry keys and shortcuts, then the log, and
// finally its own file: a running program cannot delete its own file, so a
// temporary copy of it, started with CreateProcess, waits for this process to
// end and deletes it (that copy is deleted when Windows restarts, through
// MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT).
//
//   UninstallVXLite.exe [/S]      /S: no questions, no report; the exit code
//                                 tells the outcome
#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"
#include "program_support.h"
#include "uninstall_steps.h"
#include "common/system.h"
#include "install/recovery.h"

namespace {

using namespace vx;
using namespace vx::programs;

constexpr size_t kReportLinesShown = 20;  // a longer box would not fit the screen

// True when the folder holds nothing but the named file.
bool HoldsOnly(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAA found{};
  FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!search) return false;
  do {
    std::string entry = found.cFileName;
    if (entry != "." && entry != ".." && !SamePath(entry, name)) return false;
  } while (FindNextFileA(search.get(), &found));
  return true;
}

void Uninstall(const std::string& ownPath, UninstallReport& report) {
  const std::string ownFolder = FolderOf(ownPath);
  const std::string windows = WindowsFolder();
  const bool inWindowsFolder = !windows.empty() && SamePath(ownFolder, windows);
  const std::string logPath = FindInstallLog(ownFolder);

  // Only what lies in the install folder is removed; the uninstall record
  // names it, and a log kept beside this program (no Windows folder at
  // install time) lies in it.
  std::string installFolder = RecordedInstallFolder();
  if (installFolder.empty() && !logPath.empty() && !inWindowsFolder &&
      SamePath(FolderOf(logPath), ownFolder)) {
    installFolder = ownFolder;
  }

  LogLine("install folder %s, install log %s",
          installFolder.empty() ? "(none recorded)" : installFolder.c_str(),
          logPath.empty() ? "(none)" : logPath.c_str());
  InstallLog log;
  if (logPath.empty()) {
    report.Left(text::kUninstallNoLog, std::string());
    if (!installFolder.empty()) report.Left(text::kUninstallInstallFolder, installFolder);
  } else {
    log = ReadInstallLog(logPath);
    for (const std::string& section : log.uncounted) report.Left(text::kUninstallLogNoCount, section);
    if (log.missingEntries > 0) {
      report.Left(text::kUninstallLogIncomplete, std::to_string(log.missingEntries));
    }
  }

  // This program's own file goes last, through the self-removal: the setup's
  // copy in the Windows folder, or the install folder's file the log names.
  const bool ownFileLogged = ContainsPath(log.files, ownPath);
  const bool removeSelf = inWindowsFolder || ownFileLogged;
  const std::string ownLoggedFolder =
      ownFileLogged && ContainsPath(log.folders, ownFolder) ? ownFolder : std::string();

  RemoveLoggedFiles(log, installFolder, removeSelf ? ownPath : std::string(), report);
  RemoveLoggedFolders(log, installFolder, ownLoggedFolder, report);
  RemoveSetupRegistryKeys(report);
  RemoveShortcuts(report);
  if (!logPath.empty() && !DeleteFileA(logPath.c_str())) {
    report.Left(text::kUninstallFileLeft, logPath, GetLastError());
  }
  if (removeSelf) {
    std::string emptiedFolder;
    if (!ownLoggedFolder.empty()) {
      if (HoldsOnly(ownLoggedFolder, NameOf(ownPath))) {
        emptiedFolder = ownLoggedFolder;
      } else {
        report.Note(text::kUninstallFolderKept, ownLoggedFolder);
      }
    }
    StartSelfRemoval(ownPath, emptiedFolder, report);
  }
}

void ShowReport(const UninstallReport& report) {
  const auto& lines = report.Lines();
  if (lines.empty()) {
    MessageBoxA(nullptr, text::kUninstallDone, text::kUninstallCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string message = std::string(text::kUninstallLeftIntro) + "\n";
  for (size_t index = 0; index < lines.size() && index < kReportLinesShown; ++index) {
    message += "\n" + lines[index];
  }
  if (lines.size() > kReportLinesShown) {
    message += "\n" + std::string(text::kMoreLinesPrefix) +
               std::to_string(lines.size() - kReportLinesShown) + text::kMoreLinesSuffix;
  }
  MessageBoxA(nullptr, message.c_str(), text::kUninstallCaption,
              MB_OK | (report.Incomplete() ? MB_ICONWARNING : MB_ICONINFORMATION));
}

// The uninstall as the user asked for it; returns the exit code.
int RunUninstall(bool silent) {
  // A current folder cannot be removed: work from one the uninstall keeps.
  std::string windows = WindowsFolder();
  if (!windows.empty()) SetCurrentDirectoryA(windows.c_str());

  if (FindWindowA(kProductWindowClassName, nullptr)) {
    LogLine("the product is running: nothing removed");
    if (!silent) {
      MessageBoxA(nullptr, text::kUninstallProductRunning, text::kUninstallCaption,
                  MB_OK | MB_ICONWARNING);
    }
    return kUninstallExitProductRunning;
  }
  if (!silent && MessageBoxA(nullptr, text::kUninstallQuestion, text::kUninstallCaption,
                             MB_YESNO | MB_ICONQUESTION) != IDYES) {
    LogLine("the user declined: nothing removed");
    return kUninstallExitDeclined;
  }
  UninstallReport report;
  Uninstall(OwnPath(), report);
  if (!silent) ShowReport(report);
  return report.Incomplete() ? kUninstallExitIncomplete : kUninstallExitDone;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();
  const std::vector<std::string> arguments =
      SplitArguments(ArgumentsAfterProgram(GetCommandLineA()));
  if (!arguments.empty() && SamePath(arguments[0], kSelfRemovalSwitch)) {
    return RunSelfRemovalHelper({arguments.begin() + 1, arguments.end()});
  }
  const bool silent = ContainsPath(arguments, kSilentSwitch);
  StartRunLogWithContext(kUninstallLogTitle);
  LogLine("uninstall starts%s", silent ? " without questions" : "");
  // An install run that died before it ended is undone before anything else.
  RecoverAbandonedRun(WindowsFolder());
  const int exitCode = RunUninstall(silent);
  LogLine("uninstall ends with exit code %d", exitCode);
  StopRunLog();
  return exitCode;
}
