#include "common/user_shell.h"

#include <windows.h>
// shellapi.h first: its ShellExecute macro then renames the method of
// IShellDispatch2 in shldisp.h and the call below alike.
#include <shellapi.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "common/handles.h"
#include "common/run_log.h"

namespace vx {

namespace {

// The request stops at the call that failed; the log says which and why.
bool Refused(const char* call, const std::string& target, HRESULT result) {
  LogLine("failed: %s: nothing is started for \"%s\" (HRESULT 0x%08lX)", call, target.c_str(),
          static_cast<unsigned long>(result));
  return false;
}

// The text (Windows-1252) as a COM string; null when it cannot be made.
Bstr ToBstr(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  if (length <= 0) return Bstr();
  Bstr wide(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
  if (wide) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.get(), length);
  }
  return wide;
}

}  // namespace

bool OpenWithUserShell(const std::string& target) {
  // S_FALSE when the thread has its apartment already (the wizard's thread);
  // a thread in the multithreaded one can make the calls as it is.
  ComApartment apartment;
  if (FAILED(apartment.result()) && apartment.result() != RPC_E_CHANGED_MODE) {
    return Refused("CoInitializeEx", target, apartment.result());
  }

  // Only the object of the running shell: one made in this process would
  // start the target with this process's rights.
  ComPtr<IShellWindows> shellWindows;
  HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                    IID_IShellWindows, shellWindows.put_void());
  if (FAILED(result)) return Refused("CoCreateInstance(CLSID_ShellWindows)", target, result);

  Variant location, root;  // empty: the desktop is found by its kind alone
  LONG desktopWindow = 0;
  ComPtr<IDispatch> desktop;
  result = shellWindows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &desktopWindow,
                                      SWFO_NEEDDISPATCH, desktop.put());
  // S_FALSE: the shell has no desktop window.
  if (result != S_OK || !desktop) {
    return Refused("IShellWindows::FindWindowSW(SWC_DESKTOP)", target,
                   result == S_OK ? E_POINTER : result);
  }

  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(result = desktop.As(IID_IServiceProvider, services))) {
    return Refused("IDispatch::QueryInterface(IServiceProvider)", target, result);
  }
  if (FAILED(result = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                              browser.put_void()))) {
    return Refused("IServiceProvider::QueryService(SID_STopLevelBrowser)", target, result);
  }
  if (FAILED(result = browser->QueryActiveShellView(view.put()))) {
    return Refused("IShellBrowser::QueryActiveShellView", target, result);
  }
  if (FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                           background.put_void()))) {
    return Refused("IShellView::GetItemObject(SVGIO_BACKGROUND)", target, result);
  }
  if (FAILED(result = background.As(IID_IShellFolderViewDual, folderView))) {
    return Refused("IDispatch::QueryInterface(IShellFolderViewDual)", target, result);
  }
  if (FAILED(result = folderView->get_Application(application.put())) || !application) {
    return Refused("IShellFolderViewDual::get_Application", target,
                   FAILED(result) ? result : E_POINTER);
  }
  if (FAILED(result = application.As(IID_IShellDispatch2, shell))) {
    return Refused("IDispatch::QueryInterface(IShellDispatch2)", target, result);
  }

  Bstr file = ToBstr(target);
  Bstr verb(SysAllocString(L"open"));
  if (!file || !verb) return Refused("SysAllocStringLen", target, E_OUTOFMEMORY);
  Variant parameters, folder, operation, show;  // no parameters, no folder
  operation.SetString(std::move(verb));
  show.SetInt(SW_SHOWNORMAL);

  // The shell starts the program; let it bring the program's window to the
  // front, which this process (in front now) may allow.
  DWORD shellProcess = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<LONG_PTR>(desktopWindow)),
                           &shellProcess);
  if (shellProcess) AllowSetForegroundWindow(shellProcess);

  result = shell->ShellExecute(file.get(), parameters.value(), folder.value(), operation.value(),
                               show.value());
  // S_FALSE: the shell could not start it (no program for it, no such file).
  if (result != S_OK) return Refused("IShellDispatch2::ShellExecute", target, result);
  LogLine("started through the desktop shell (process %lu): \"%s\"",
          static_cast<unsigned long>(shellProcess), target.c_str());
  return true;
}

}  // namespace vx
