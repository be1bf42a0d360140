// Shell special folders, the running executable's own version, the
// application's main window.
#pragma once

#include <windows.h>

#include <string>

#include "common/text.h"

namespace vx {

// The application's main window, the owner of shell calls made on its behalf.
// Set by the wizard when its window exists; null before.
void SetApplicationWindow(HWND window);
HWND ApplicationWindow();

// Path of a shell special folder by its CSIDL number, empty on any failure.
std::string GetSpecialFolder(int csidl);

// File version of the running executable as four numbers joined by dots
// ("1.2.0.7"), empty when it has no version resource.
std::string OwnFileVersion();

// Same for a loaded module (also one loaded as a data file), read from its
// own version resource: no version DLL is needed for it.
std::string ModuleFileVersion(HMODULE module);

// Makes the system folder the only place DLLs are loaded from by name. The
// first act of every program the setup ships: an elevated program must not
// load a DLL that someone left beside it or in the current folder.
void RestrictDllSearchToSystemFolder();

// Today's local date.
CalendarDate LocalToday();

}  // namespace vx
