// Child role: load the first entry from TargetDir and hand control to its run_code export.
#include "supervise/library_entry.h"

#include <windows.h>

#include <wchar.h>

#include "base/report.h"
#include "base/run_state.h"
#include "supervise/child.h"
#include "supervise/console_control.h"
#include "supervise/missing_import.h"

namespace {

// The packaged application's entry point: argument count, wide argument vector, and the
// path of the main DLL itself; its result is the exit code.
using RunCode = int (*)(int, wchar_t**, const wchar_t*);

// The DLL's own folder, folders added with AddDllDirectory (TargetDir), and System32: never
// the application folder, the current folder or PATH.
constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                               LOAD_LIBRARY_SEARCH_SYSTEM32;

// Below every handler the application installs: what Windows does by default for these
// events, ending the process with STATUS_CONTROL_C_EXIT. Wine's own default ends it with 0,
// which the parent would pass on as success for an interrupted run.
BOOL WINAPI end_like_windows(DWORD control_type) {
  if (!is_stop_event(control_type)) return FALSE;
  ExitProcess(kInterruptedExitCode);
}

}  // namespace

int run_library_entry() {
  SetConsoleCtrlHandler(end_like_windows, TRUE);
  AddDllDirectory(TargetDir);
  HMODULE library = LoadLibraryExW(FirstEntryPath, nullptr, kSearchFlags);
  if (library == nullptr) {
    DWORD error = GetLastError();
    // The system says only that a module was not found; the import table says which, so that
    // the line tells what the application lacks.
    const wchar_t* missing = nullptr;
    if (error == ERROR_MOD_NOT_FOUND) missing = find_missing_import(FirstEntryPath);
    const wchar_t* last_backslash = wcsrchr(FirstEntryPath, L'\\');
    const wchar_t* main_name = last_backslash != nullptr ? last_backslash + 1 : FirstEntryPath;
    die_with_load_failure(static_cast<long>(error), missing, main_name);
  }
  auto run_code = reinterpret_cast<RunCode>(
      reinterpret_cast<void*>(GetProcAddress(library, "run_code")));
  if (run_code == nullptr) die_with_message("Error, DLL entry point not found.");
  return run_code(RunArgc, RunArgv, FirstEntryPath);
}
