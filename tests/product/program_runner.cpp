#include "program_runner.h"

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "common/files.h"
#include "common/product.h"

namespace vx::test {

namespace {

constexpr DWORD kPollMs = 50;

struct WindowSearch {
  const char* className;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (lstrcmpiA(name, search->className) == 0 &&
      (search->processId == 0 || owner == search->processId)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string BuildPath(std::string path) {
  // The build passes its own (Unix) paths; Wine shows the Unix root as Z:.
  if (!path.empty() && path.front() == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
  return path;
}

std::string BuiltProgram(const char* name) { return BuildPath(VX_PROGRAMS_DIR) + "\\" + name; }

StartedProgram::~StartedProgram() {
  if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process.get(), 1);
  }
}

bool StartProgram(const std::string& program, const std::string& arguments, StartedProgram& out) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::string folder = program.substr(0, program.find_last_of('\\'));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  out.process.reset(process.hProcess);
  out.id = process.dwProcessId;
  return true;
}

bool WaitForExit(const StartedProgram& started, DWORD timeoutMs, DWORD& exitCode) {
  if (WaitForSingleObject(started.process.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(started.process.get(), &exitCode) != FALSE;
}

HWND WaitForWindow(const char* className, DWORD processId, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    WindowSearch search{className, processId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found || waited >= timeoutMs) return search.found;
    Sleep(kPollMs);
  }
}

std::string WindowText(HWND window) {
  // Read as UTF-16 and turned into Windows-1252 here: in Wine's WoW64 mode a
  // 32-bit WM_GETTEXT in its ANSI form hands back UTF-8.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return std::string();
  }
  std::wstring wide(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                           SMTO_ABORTIFHUNG, 5000, &got)) {
    return std::string();
  }
  wide.resize(std::min<size_t>(got, length));
  int size = WideCharToMultiByte(1252, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(1252, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

std::string AnswerMessageBox(DWORD processId, int button, DWORD timeoutMs) {
  HWND box = WaitForWindow("#32770", processId, timeoutMs);
  // The box may be found while it is still being set up: it shows itself
  // once its text and buttons are in place.
  auto ready = [&] { return IsWindowVisible(box) && GetDlgItem(box, button); };
  for (DWORD waited = 0; box && !ready() && waited < timeoutMs; waited += kPollMs) Sleep(kPollMs);
  if (!box || !ready()) return std::string();
  // The box's text is its static control 0xFFFF.
  std::string text = WindowText(GetDlgItem(box, 0xFFFF));
  PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
  // Gone before the caller looks for the next box of the same process.
  for (DWORD waited = 0; IsWindow(box) && waited < timeoutMs; waited += kPollMs) Sleep(kPollMs);
  return text;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (waited >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

bool WaitForUninstallHelpers(DWORD timeoutMs) {
  const DWORD started = GetTickCount();
  for (;;) {
    std::vector<DWORD> helpers;
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // invalid: INVALID_HANDLE_VALUE
    if (snapshot) {
      PROCESSENTRY32 entry{};
      entry.dwSize = sizeof entry;
      for (BOOL more = Process32First(snapshot.get(), &entry); more;
           more = Process32Next(snapshot.get(), &entry)) {
        if (lstrcmpiA(entry.szExeFile, kUninstallHelperName) == 0) {
          helpers.push_back(entry.th32ProcessID);
        }
      }
    }
    if (helpers.empty()) return true;
    for (DWORD id : helpers) {
      KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
      const DWORD spent = GetTickCount() - started;
      if (process && spent < timeoutMs) WaitForSingleObject(process.get(), timeoutMs - spent);
    }
    if (GetTickCount() - started >= timeoutMs) return false;
  }
}

}  // namespace vx::test
