// The benchmark's main DLL: run_code returns at once, so a launcher run measures the
// launcher's own work (extract, start the child, load this DLL, clean up) and nothing else.
// For the memory runs, bench_runner sets BENCH_APP_HOLD_MS: the child then stays alive that
// long, so the sampler surely sees it (Wine reports nothing for an ended process). Peaks stay
// what they were; sleeping adds nothing to them. For the timed runs of launchers it sets
// BENCH_APP_STAMP: run_code then writes the performance counter on entry to standard output,
// which splits a run into the part before the application (extraction) and after it
// (clean-up).
#include <windows.h>

#include <stdlib.h>

extern "C" __declspec(dllexport) int run_code(int, wchar_t**, const wchar_t*) {
  LARGE_INTEGER entered;
  QueryPerformanceCounter(&entered);
  if (GetEnvironmentVariableW(L"BENCH_APP_STAMP", nullptr, 0) > 0) {
    // Decimal digits by hand: the C runtime's formatting would double this DLL's size.
    char line[24];
    int at = sizeof line;
    line[--at] = '\n';
    unsigned long long value = static_cast<unsigned long long>(entered.QuadPart);
    do line[--at] = static_cast<char>('0' + value % 10);
    while ((value /= 10) != 0);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line + at, static_cast<DWORD>(sizeof line - at),
              &written, nullptr);
  }
  wchar_t hold[16];
  DWORD n = GetEnvironmentVariableW(L"BENCH_APP_HOLD_MS", hold, 16);
  if (n > 0 && n < 16) Sleep(wcstoul(hold, nullptr, 10));
  return 0;
}
