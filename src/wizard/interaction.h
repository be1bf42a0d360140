// The wizard's modal contact with the user and the desktop: message boxes,
// the folder dialog and opening a file or address with the shell. The window
// does all of it through this one interface, so that a test program can
// answer the boxes itself while the real window runs.
#pragma once

#include <windows.h>

#include <string>

namespace vx {

enum class BoxKind {
  Error,         // error icon, OK
  Information,   // information icon, OK
  Confirmation,  // question icon, Yes, No and Cancel
};

class WizardInteraction {
 public:
  virtual ~WizardInteraction() = default;

  // A modal box owned by the window. Returns IDOK, IDCANCEL, IDYES or IDNO;
  // a box closed without a button gives IDCANCEL.
  virtual int ShowBox(HWND owner, const std::string& text, BoxKind kind) = 0;

  // The folder-selection dialog. True with the chosen folder when the user
  // chose one; false when the dialog was cancelled or failed.
  virtual bool BrowseForFolder(HWND owner, const std::string& title, std::string& folder) = 0;

  // Opens a file or an address with its associated program ("open", no
  // parameters, no folder, SW_SHOWNORMAL) through the desktop shell of the
  // user's session, so that it runs with the user's token, not the setup's
  // administrator rights (OpenWithUserShell). Where the shell cannot take it,
  // nothing is started and the run log says why. The result is not examined
  // by any caller.
  virtual void OpenWithShell(const std::string& target) = 0;
};

// The real one: MessageBoxA with the application title as caption,
// SHBrowseForFolderA and OpenWithUserShell.
WizardInteraction& DesktopInteraction();

}  // namespace vx
