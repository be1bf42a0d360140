// The log of one run of the setup or the uninstall program, for whoever must
// find out later why a run went as it did: plain text, one line per event
// with the time and the thread, every failure that the program handles
// without a word to the user included.
//
// One file per run: "<temp>\<title> <yyyymmdd-hhmmss>\<title> <yyyymmdd-
// hhmmss>.log". The programs run elevated and the temporary folder is the
// user's, so the log goes into a folder the run makes itself, which only
// Administrators and SYSTEM may write (users may read it): nothing there can
// redirect the writes.
//
// Cheap when writing (one formatted line, one write under a lock), safe
// from every thread, and never able to fail the run: when the log cannot be
// made, every call does nothing.
#pragma once

#include <windows.h>

#include <source_location>
#include <string>

namespace vx {

// Starts the log of this process; the title names the program
// ("VantorexLite Setup"). A second start while one is open does nothing.
void StartRunLog(const char* title);
// Starts the log and writes what every run's log begins with: the program,
// its version and build, the Windows version and the registry view, the
// temporary and Windows folders.
void StartRunLogWithContext(const char* title);
// Ends the log; later lines are dropped until the next start.
void StopRunLog();
// The log's full path; empty while there is none.
std::string RunLogPath();

// One line, printf-style (Windows-1252 text).
void LogLine(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// A failure the program handles itself: what was tried, on which path or
// key, the Windows error code, and the place in the source that saw it
// (file and line, given by the compiler at the call).
void LogFailure(const char* what, const std::string& target, DWORD error,
                std::source_location place = std::source_location::current());
// A failure caught as a C++ exception, called inside the catch block: what
// was being done, on what, the exception's own text (its what(), when it is
// a std::exception) and the place. An exception carries no Windows error.
void LogCaught(const char* what, const std::string& target = std::string(),
               std::source_location place = std::source_location::current());

}  // namespace vx
