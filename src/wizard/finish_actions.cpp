// What the wizard window does itself once an install has ended well: the
// shortcuts to the installed product, and starting it on "&Finish".
#include "wizard/wizard_window.h"

#include <shlobj.h>

#include <string>

#include "common/files.h"
#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
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

}  // namespace

bool CreateShellLink(const std::string& target, const std::string& arguments,
                     const std::string& workingDirectory, const std::string& linkFile) {
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void()))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link.As(IID_IPersistFile, file))) return false;
  if (FAILED(link->SetPath(target.c_str())) || FAILED(link->SetArguments(arguments.c_str())) ||
      FAILED(link->SetWorkingDirectory(workingDirectory.c_str()))) {
    return false;
  }
  const std::wstring path = Utf16(linkFile);
  return !path.empty() && SUCCEEDED(file->Save(path.c_str(), FALSE));
}

void TfrmInstVXLite::CreateShortcuts(const std::string& exe) {
  // The install folder with its trailing backslash.
  const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
  if (dir.empty() || !FolderExists(dir)) return;  // no link and no step message

  const std::string target = dir + kProductExeName;
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string base = ShortcutBaseFolder(place);
    if (!FolderExists(base)) continue;
    const std::string folder = base + place.subfolder;
    // A group that cannot be made is skipped below. Any other folder (the
    // Quick Launch ones) is used only when it exists; none is created.
    if (place.madeBySetup) CreateFolderPath(folder);
    if (!FolderExists(folder)) continue;
    // A link that cannot be made is skipped without a word.
    CreateShellLink(target, std::string(), dir, LinkFileIn(folder));
  }
  PostMessageA(hwnd_, WM_INST_STEP, 0, kStepShortcutsDone);
}

void TfrmInstVXLite::StartProductIfAsked() {
  const std::string product = FInstallDir + "\\" + kProductExeName;
  if (FileExists(product) && IsChecked(Ctl::cboxStart)) {
    interaction_.OpenWithShell(hwnd_, product);
  }
}

}  // namespace vx
