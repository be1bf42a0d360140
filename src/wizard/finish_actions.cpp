// What the wizard window does itself once an install has ended well: the
// shortcuts to the installed product, and starting it on "&Finish".
#include "wizard/wizard_window.h"

#include <shlobj.h>

#include <string>

#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "common/run_log.h"
#include "common/system.h"

namespace vx {

namespace {

std::wstring Utf16(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  }
  return wide;
}

// The shell link as CreateShellLink makes it; the first failing call's result.
HRESULT SaveShellLink(const std::string& target, const std::string& arguments,
                      const std::string& workingDirectory, const std::string& linkFile) {
  ComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkA, link.put_void());
  if (FAILED(result)) return result;
  ComPtr<IPersistFile> file;
  if (FAILED(result = link.As(IID_IPersistFile, file)) ||
      FAILED(result = link->SetPath(target.c_str())) ||
      FAILED(result = link->SetArguments(arguments.c_str())) ||
      FAILED(result = link->SetWorkingDirectory(workingDirectory.c_str()))) {
    return result;
  }
  const std::wstring path = Utf16(linkFile);
  if (path.empty()) return E_INVALIDARG;
  return file->Save(path.c_str(), FALSE);
}

}  // namespace

bool CreateShellLink(const std::string& target, const std::string& arguments,
                     const std::string& workingDirectory, const std::string& linkFile) {
  return SUCCEEDED(SaveShellLink(target, arguments, workingDirectory, linkFile));
}

void TfrmInstVXLite::CreateShortcuts(const std::string& exe) {
  // The install folder with its trailing backslash.
  const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
  if (dir.empty() || !FolderExists(dir)) {  // no link and no step message
    LogLine("no shortcuts made: the install folder \"%s\" is missing", dir.c_str());
    return;
  }

  const std::string target = dir + kProductExeName;
  int made = 0;
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string base = ShortcutBaseFolder(place);
    if (!FolderExists(base)) continue;
    const std::string folder = base + place.subfolder;
    // A group that cannot be made is skipped below. Any other folder (the
    // Quick Launch ones) is used only when it exists; none is created.
    if (place.madeBySetup && !CreateFolderPath(folder).value_or(false)) {
      LogFailure("creating the program group", folder, GetLastError());
    }
    if (!FolderExists(folder)) continue;
    // A link that cannot be made is skipped without a word to the user.
    const std::string linkFile = LinkFileIn(folder);
    const HRESULT result = SaveShellLink(target, std::string(), dir, linkFile);
    if (SUCCEEDED(result)) {
      ++made;
    } else {
      LogFailure("creating a shortcut", linkFile, static_cast<DWORD>(result));
    }
  }
  LogLine("shortcuts made: %d", made);
  PostMessageA(hwnd_, WM_INST_STEP, 0, kStepShortcutsDone);
}

void TfrmInstVXLite::StartProductIfAsked() {
  const std::string product = FInstallDir + "\\" + kProductExeName;
  const bool exists = FileExists(product);
  const bool asked = IsChecked(Ctl::cboxStart);
  if (exists && asked) {
    LogLine("finish: the product is to be started: \"%s\"", product.c_str());
    interaction_.OpenWithShell(product);
  } else {
    LogLine("finish: the product is not started (%s)",
            exists ? "not asked" : "not installed");
  }
}

}  // namespace vx
