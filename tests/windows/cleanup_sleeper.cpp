// cleanup_sleeper.exe MS CODE: sleeps MS milliseconds, then exits with CODE. Stands for a
// running child in the clean-up tests.
#include <windows.h>

#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 100;
  Sleep(wcstoul(argv[1], nullptr, 10));
  return static_cast<int>(wcstoul(argv[2], nullptr, 10));
}
