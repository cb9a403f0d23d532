// The parent's child (see child.h).
#include "supervise/child.h"

#include <windows.h>
#include <shellapi.h>

#include "base/late_bound.h"
#include "base/report.h"
#include "base/run_state.h"
#include "base/wide.h"
#include "format/command_line.h"
#include "fs/self_path.h"
#include "supervise/target_removal.h"

namespace {

// CreateProcessW takes 32,767 units with the terminator; a longer line would reach the child
// cut short.
constexpr size_t kCommandLineUnits = 32767;
constexpr DWORD kChildGraceMs = 5000;

wchar_t OwnModulePath[kPathUnits];
const wchar_t* ChildStartPath;  // OwnModulePath or another form of it (choose_start_path)
wchar_t ChildCommandLine[kCommandLineUnits];

// The running child's process handle, or null. Taken out of this slot with an atomic exchange
// by whoever waits on, terminates or closes it, so that only one of the main thread and the
// console control handler ever does.
void* volatile ChildProcess;

// The child's exit code, and the event (manual-reset, created before the child starts) that is
// set once the code is known. Whoever took the handle records the code, once; the other side
// waits for it, so that the main thread and the handler end the run with the same code.
volatile unsigned long ChildExitCode;
HANDLE ChildExitKnown;

[[noreturn]] void die_with_launch_error(DWORD error) {
  die_with_os_error("Error, couldn't launch child", static_cast<long>(error));
}

// Chooses the form of the own path that process creation takes: the path itself when it is
// shorter than MAX_PATH, which is all CreateProcessW takes of an application name; else the
// same file named by its folder's short (8.3) form and its own name, when that is short enough;
// else the extended-length form. Wine 8 takes none of them for a longer path: it refuses the
// path in every form and, from about 1,030 units on, crashes inside the call for the plain and
// the short form. There the run ends here, before anything is extracted.
void choose_start_path() {
  if (wcslen(OwnModulePath) < MAX_PATH) {
    ChildStartPath = OwnModulePath;
    return;
  }
  if (running_under_wine()) die_with_launch_error(ERROR_FILENAME_EXCED_RANGE);
  const wchar_t* short_folder_form = resolve_self_path(false);
  if (wcslen(short_folder_form) < MAX_PATH) {
    ChildStartPath = short_folder_form;
    return;
  }
  static wchar_t extended[kPathUnits + 8];
  WideBuffer path = wide_buffer(extended, kPathUnits + 8);
  append_extended_length_form(&path, OwnModulePath);
  ChildStartPath = extended;
}

void fill_own_module_path() {
  if (OwnModulePath[0] != L'\0') return;
  DWORD length = GetModuleFileNameW(nullptr, OwnModulePath, kPathUnits);
  if (length == 0) die_on_broken_invariant();
  // A path the system cut to the buffer names no file: no form of it could start the child.
  if (length >= kPathUnits) die_with_launch_error(ERROR_FILENAME_EXCED_RANGE);
}

void record_child_exit_code(unsigned long code) {
  ChildExitCode = code;
  SetEvent(ChildExitKnown);
}

// Takes the child's handle if it is still in the slot: waits up to grace_ms for the child,
// terminates it otherwise, records its exit code and closes the handle.
void stop_child(DWORD grace_ms) {
  HANDLE child = InterlockedExchangePointer(const_cast<void**>(&ChildProcess), nullptr);
  if (child == nullptr) return;
  DWORD exit_code = kInterruptedExitCode;
  if (WaitForSingleObject(child, grace_ms) == WAIT_OBJECT_0) {
    if (!GetExitCodeProcess(child, &exit_code)) exit_code = 1;
  } else {
    TerminateProcess(child, kInterruptedExitCode);
  }
  CloseHandle(child);
  record_child_exit_code(exit_code);
}

}  // namespace

void build_child_command_line() {
  int count = 0;
  wchar_t** arguments = LATE_BOUND(L"shell32.dll", CommandLineToArgvW)(GetCommandLineW(), &count);
  if (arguments == nullptr) die_with_launch_error(GetLastError());
  fill_own_module_path();
  choose_start_path();
  // The child is started by its full module path; the name the user typed travels in
  // VELDRO_ORIGINAL_ARGV0 instead.
  if (count > 0) arguments[0] = OwnModulePath;
  // The full path and the re-quoting can make the line longer than the one typed, which the
  // system may have taken whole: too long for the child is the user's failure, not ours.
  size_t units = count > 0 ? static_cast<size_t>(count - 1) : 0;
  for (int i = 0; i < count; ++i) units += quoted_length(arguments[i]);
  if (units + 1 > kCommandLineUnits) die_with_long_command_line(units, kCommandLineUnits - 1);
  // Every unit written was counted above.
  wchar_t* end = ChildCommandLine;
  *end = L'\0';
  for (int i = 0; i < count; ++i) {
    if (i > 0) *end++ = L' ';
    end = quote_argument(end, arguments[i]);
  }
}

int launch_child_and_wait() {
  if (ChildStartPath == nullptr) die_on_broken_invariant();  // the command line comes first

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

  ChildExitKnown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ChildExitKnown == nullptr) die_on_broken_invariant();

  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(ChildStartPath, ChildCommandLine, nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    // Nothing runs from the directory yet: it goes before the failure is reported.
    DWORD error = GetLastError();
    remove_target_directory();
    die_with_launch_error(error);
  }
  CloseHandle(process.hThread);

  // The wait uses a handle of its own: the console control handler may take the shared one
  // out of the slot and close it while this thread still waits.
  HANDLE waiter = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &waiter,
                       SYNCHRONIZE, FALSE, 0)) {
    waiter = nullptr;
  }
  ChildProcess = process.hProcess;
  WaitForSingleObject(waiter != nullptr ? waiter : process.hProcess, INFINITE);
  if (waiter != nullptr) CloseHandle(waiter);
  // The child has ended. Whoever takes its handle first, this thread here or a console event
  // or the session's end meanwhile, records its exit code; the run ends with that code.
  stop_child_and_remove_target();
  return static_cast<int>(run_exit_code());
}

void stop_child_and_remove_target() {
  stop_child(kChildGraceMs);
  remove_target_directory();
}

unsigned long run_exit_code() {
  if (ChildExitKnown == nullptr) return kInterruptedExitCode;
  WaitForSingleObject(ChildExitKnown, INFINITE);
  return ChildExitCode;
}
