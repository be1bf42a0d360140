// One plain copy of a file with CopyFileA: the package's bytes written once
// more, which bench/compare adds to the plain installer's time to give the
// floor of an installer that keeps a temporary copy of its package.
//
// Usage: vx_plain_copy <from> <to>   (exit code 0 on success)
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  return CopyFileA(argv[1], argv[2], TRUE) ? 0 : 2;
}
