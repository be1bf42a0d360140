// Starting a program or an address for the user from the elevated setup.
//
// The setup runs with administrator rights, and whatever it started itself
// would run with them too. So the product on "Finish" and the wizard's web
// links are handed to the desktop shell of the user's session, which starts
// them with its own token: the user's, without the administrator rights.
// Where no shell takes the request, nothing is started: an elevated start
// is never the fallback.
#pragma once

#include <string>

namespace vx {

// Opens a file or an address with its associated program ("open", no
// parameters, no folder, SW_SHOWNORMAL) through the desktop shell: the shell
// windows object of the running shell, its desktop's view, and that view's
// shell application, whose ShellExecute runs in the shell's process.
// True when the shell took the request. False when there is no such route
// (no shell window server, no desktop window, any call on the way refused):
// then nothing is started and the run log names the call that failed and
// its HRESULT. Initialises COM on the calling thread for the call when the
// thread has not.
bool OpenWithUserShell(const std::string& target);

}  // namespace vx
