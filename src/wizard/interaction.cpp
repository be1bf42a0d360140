#include "wizard/interaction.h"

#include <shlobj.h>

#include "common/handles.h"
#include "common/product.h"
#include "common/user_shell.h"

namespace vx {

namespace {

class Desktop final : public WizardInteraction {
 public:
  int ShowBox(HWND owner, const std::string& text, BoxKind kind) override {
    UINT style = MB_OK | MB_ICONERROR;
    if (kind == BoxKind::Information) style = MB_OK | MB_ICONINFORMATION;
    if (kind == BoxKind::Confirmation) style = MB_YESNOCANCEL | MB_ICONQUESTION;
    int answer = MessageBoxA(owner, text.c_str(), kApplicationTitle, style);
    return answer == 0 ? IDCANCEL : answer;
  }

  bool BrowseForFolder(HWND owner, const std::string& title, std::string& folder) override {
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    CoTaskMem items(SHBrowseForFolderA(&info));
    if (!items) return false;
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(static_cast<LPCITEMIDLIST>(items.get()), path)) return false;
    folder = path;
    return true;
  }

  void OpenWithShell(const std::string& target) override { OpenWithUserShell(target); }
};

}  // namespace

WizardInteraction& DesktopInteraction() {
  static Desktop desktop;
  return desktop;
}

}  // namespace vx
