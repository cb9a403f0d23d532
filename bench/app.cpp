// The benchmark's main DLL: run_code returns at once, so a launcher run measures the
// launcher's own work (extract, start the child, load this DLL, clean up) and nothing else.
// For the memory runs, bench_runner sets BENCH_APP_HOLD_MS: the child then stays alive that
// long, so the sampler surely sees it (Wine reports nothing for an ended process). Peaks stay
// what they were; sleeping adds nothing to them.
#include <windows.h>

#include <stdlib.h>

extern "C" __declspec(dllexport) int run_code(int, wchar_t**, const wchar_t*) {
  wchar_t hold[16];
  DWORD n = GetEnvironmentVariableW(L"BENCH_APP_HOLD_MS", hold, 16);
  if (n > 0 && n < 16) Sleep(wcstoul(hold, nullptr, 10));
  return 0;
}
