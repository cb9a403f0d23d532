// bench_direct <dll>: loads the DLL directly and calls its run_code, the way a plain exe
// would start the application without any launcher; the start-up baseline. Two variants
// split the launcher's start-up cost into its parts:
//   BENCH_SHELL32: the exe also imports shell32, which loads shell32 and what it depends on
//     at start;
//   BENCH_TWO_PROCESSES: the exe starts itself once more and the second copy loads the DLL,
//     as the launcher's parent and child do; like the launcher, the first copy splits its
//     command line with shell32, loaded at that point, so the second copy never loads it.
#include <windows.h>
#include <shellapi.h>

using RunCode = int (*)(int, wchar_t**, const wchar_t*);

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
#ifdef BENCH_SHELL32
    int count;
    LocalFree(CommandLineToArgvW(L"x", &count));  // never runs; keeps the import
#endif
    return 2;
  }
#ifdef BENCH_TWO_PROCESSES
  if (!GetEnvironmentVariableW(L"BENCH_DIRECT_CHILD", nullptr, 0)) {
    SetEnvironmentVariableW(L"BENCH_DIRECT_CHILD", L"1");
    auto split = reinterpret_cast<decltype(&CommandLineToArgvW)>(
        GetProcAddress(LoadLibraryW(L"shell32.dll"), "CommandLineToArgvW"));
    int count;
    LocalFree(split(GetCommandLineW(), &count));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, GetCommandLineW(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return 2;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
  }
#endif
  HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return 2;
  RunCode run_code = reinterpret_cast<RunCode>(GetProcAddress(module, "run_code"));
  if (!run_code) return 2;
  return run_code(argc - 1, argv + 1, argv[1]);
}
