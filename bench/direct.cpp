// bench_direct <dll>: loads the DLL directly and calls its run_code, the way a plain exe
// would start the application without any launcher; the start-up baseline.
#include <windows.h>

using RunCode = int (*)(int, wchar_t**, const wchar_t*);

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return 2;
  RunCode run_code = reinterpret_cast<RunCode>(GetProcAddress(module, "run_code"));
  if (!run_code) return 2;
  return run_code(argc - 1, argv + 1, argv[1]);
}
