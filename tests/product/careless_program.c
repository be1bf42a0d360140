/* The counter-example: a program that reads its own version through the
   version DLL, bound by name in its import table, as the setup once did. The
   planted DLL beside it must see the call coming from this program, or the
   test that judges the real programs by those marks could not fail. */
#include <windows.h>

int main(void) {
  char self[MAX_PATH];
  DWORD handle = 0;
  if (!GetModuleFileNameA(NULL, self, MAX_PATH)) return 2;
  GetFileVersionInfoSizeA(self, &handle);
  return 0;
}
