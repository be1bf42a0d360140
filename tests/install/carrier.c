/* A module with no code of its own: the tests copy it and give the copy a
   package resource, which the worker then reads as the setup's package. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
