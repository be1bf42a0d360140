// The launcher the ".vx5" association starts: hands the project to a running
// main program, or starts "vxlite.exe" from its own folder with it, and exits.
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "common/product.h"
#include "program_support.h"
#include "common/system.h"

namespace {

using namespace vx;
using namespace vx::programs;

constexpr UINT kHandOverTimeoutMs = 5000;

// The path as the launcher's caller meant it: the main program starts in its
// own folder, so a relative path is made absolute here.
std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  char full[MAX_PATH * 4];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return (length == 0 || length >= sizeof full) ? path : std::string(full, length);
}

// True when the running main program took the project (or, without one,
// simply came to the front).
bool HandOver(HWND running, const std::string& project) {
  DWORD processId = 0;
  GetWindowThreadProcessId(running, &processId);
  AllowSetForegroundWindow(processId);
  if (project.empty()) {
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
  }
  COPYDATASTRUCT data{};
  data.dwData = kOpenProjectDataCode;
  data.cbData = static_cast<DWORD>(project.size() + 1);
  data.lpData = const_cast<char*>(project.c_str());
  DWORD_PTR accepted = FALSE;
  return SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, kHandOverTimeoutMs, &accepted) != 0 &&
         accepted == TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  vx::RestrictDllSearchToSystemFolder();
  std::string project = AbsolutePath(SingleArgument(ArgumentsAfterProgram(GetCommandLineA())));
  if (HWND running = FindWindowA(kProductWindowClassName, nullptr)) {
    if (HandOver(running, project)) return 0;
  }
  // Not running, or not answering: start a main program of our own.
  std::string folder = FolderOf(OwnPath());
  std::string program = folder + "\\" + kProductExeName;
  std::string commandLine = "\"" + program + "\"";
  if (!project.empty()) commandLine += " \"" + project + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    DWORD error = GetLastError();
    MessageBoxA(nullptr, (text::kLauncherCannotStart + program + ErrorSuffix(error)).c_str(),
                kProductTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  KernelHandle thread(process.hThread);
  KernelHandle started(process.hProcess);
  AllowSetForegroundWindow(process.dwProcessId);
  return 0;
}
