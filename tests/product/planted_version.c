/* Stands in for a "version.dll" that someone left beside a program or in the
   temporary folder. It behaves as the real one (every call goes on to the
   system folder's copy, loaded by its full path) and leaves a mark in
   "planted.log" beside itself: which program loaded it, and every call with
   the module the call came from. (The installer functions are left out:
   nothing here imports them.) */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static HMODULE g_self;

static void Mark(const char* line) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
  char* slash = length ? strrchr(path, '\\') : NULL;
  if (!slash) return;
  strcpy(slash + 1, "planted.log");
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
  CloseHandle(file);
}

static void MarkCall(const char* name, void* returnAddress) {
  char caller[MAX_PATH] = "?";
  HMODULE module = NULL;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         (LPCSTR)returnAddress, &module)) {
    GetModuleFileNameA(module, caller, MAX_PATH);
  }
  char line[2 * MAX_PATH];
  snprintf(line, sizeof line, "call %s from %s\r\n", name, caller);
  Mark(line);
}

static FARPROC Real(const char* name) {
  static HMODULE real;
  if (!real) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length > MAX_PATH - 13) return NULL;
    strcat(path, "\\version.dll");
    real = LoadLibraryA(path);
  }
  return real ? GetProcAddress(real, name) : NULL;
}

#define CALLER __builtin_extract_return_addr(__builtin_return_address(0))

#define FORWARD(ret, name, params, args, failed)             \
  __declspec(dllexport) ret WINAPI name params {             \
    typedef ret(WINAPI * Fn) params;                         \
    MarkCall(#name, CALLER);                                 \
    Fn real = (Fn)(void*)Real(#name);                        \
    return real ? real args : failed;                        \
  }

FORWARD(BOOL, GetFileVersionInfoA, (LPCSTR f, DWORD h, DWORD n, LPVOID d), (f, h, n, d), FALSE)
FORWARD(BOOL, GetFileVersionInfoW, (LPCWSTR f, DWORD h, DWORD n, LPVOID d), (f, h, n, d), FALSE)
FORWARD(BOOL, GetFileVersionInfoExA, (DWORD x, LPCSTR f, DWORD h, DWORD n, LPVOID d),
        (x, f, h, n, d), FALSE)
FORWARD(BOOL, GetFileVersionInfoExW, (DWORD x, LPCWSTR f, DWORD h, DWORD n, LPVOID d),
        (x, f, h, n, d), FALSE)
FORWARD(DWORD, GetFileVersionInfoSizeA, (LPCSTR f, LPDWORD h), (f, h), 0)
FORWARD(DWORD, GetFileVersionInfoSizeW, (LPCWSTR f, LPDWORD h), (f, h), 0)
FORWARD(DWORD, GetFileVersionInfoSizeExA, (DWORD x, LPCSTR f, LPDWORD h), (x, f, h), 0)
FORWARD(DWORD, GetFileVersionInfoSizeExW, (DWORD x, LPCWSTR f, LPDWORD h), (x, f, h), 0)
FORWARD(BOOL, VerQueryValueA, (LPCVOID b, LPCSTR s, LPVOID* v, PUINT n), (b, s, v, n), FALSE)
FORWARD(BOOL, VerQueryValueW, (LPCVOID b, LPCWSTR s, LPVOID* v, PUINT n), (b, s, v, n), FALSE)
FORWARD(DWORD, VerLanguageNameA, (DWORD l, LPSTR s, DWORD n), (l, s, n), 0)
FORWARD(DWORD, VerLanguageNameW, (DWORD l, LPWSTR s, DWORD n), (l, s, n), 0)

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    char program[MAX_PATH] = "?";
    GetModuleFileNameA(NULL, program, MAX_PATH);
    char line[MAX_PATH + 16];
    snprintf(line, sizeof line, "load %s\r\n", program);
    Mark(line);
  }
  return TRUE;
}
