// Parent role: start the child copy, wait for it, clean up, pass its exit code on.
#include <windows.h>
#include <shellapi.h>

#include "launcher/late_bound.h"
#include "launcher/report.h"
#include "launcher/run_state.h"
#include "supervise/cleanup.h"
#include "supervise/quote.h"
#include "supervise/roles.h"

namespace {

constexpr DWORD kOwnPathUnits = 4096;
// CreateProcessW takes 32,767 units with the terminator; a longer line would reach the child
// cut short.
constexpr size_t kCommandLineUnits = 32767;

wchar_t OwnModulePath[kOwnPathUnits];
wchar_t ChildCommandLine[kCommandLineUnits];
WideBuffer ChildLine;

void fill_own_module_path() {
  if (OwnModulePath[0] != L'\0') return;
  if (GetModuleFileNameW(nullptr, OwnModulePath, kOwnPathUnits) == 0) die_on_broken_invariant();
}

[[noreturn]] void die_with_launch_error() {
  DWORD error = GetLastError();
  die_with_os_error("Error, couldn't launch child", static_cast<long>(error));
}

}  // namespace

void append_quoted_argument(const wchar_t* argument) { append_quoted_to(&ChildLine, argument); }

const wchar_t* child_command_line() { return ChildCommandLine; }

void build_child_command_line() {
  int count = 0;
  wchar_t** arguments = LATE_BOUND(L"shell32.dll", CommandLineToArgvW)(GetCommandLineW(), &count);
  if (arguments == nullptr) die_with_launch_error();
  ChildLine = wide_buffer(ChildCommandLine, kCommandLineUnits);
  fill_own_module_path();
  // The child is started by its full module path; the name the user typed travels in
  // VELDRO_ORIGINAL_ARGV0 instead.
  if (count > 0) arguments[0] = OwnModulePath;
  // The full path and the re-quoting can make the line longer than the one typed, which the
  // system may have taken whole: too long for the child is the user's failure, not ours.
  size_t units = count > 0 ? static_cast<size_t>(count - 1) : 0;
  for (int i = 0; i < count; ++i) units += quoted_length(arguments[i]);
  if (units + 1 > kCommandLineUnits) die_with_long_command_line(units, kCommandLineUnits - 1);
  for (int i = 0; i < count; ++i) {
    if (i > 0) buffer_append_char(&ChildLine, L' ');
    append_quoted_argument(arguments[i]);
  }
}

void prepare_child_exit_code() {
  ChildExitKnown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ChildExitKnown == nullptr) die_on_broken_invariant();
}

void record_child_exit_code(unsigned long code) {
  ChildExitCode = code;
  SetEvent(ChildExitKnown);
}

unsigned long run_exit_code() {
  if (ChildExitKnown == nullptr) return kInterruptedExitCode;
  WaitForSingleObject(ChildExitKnown, INFINITE);
  return ChildExitCode;
}

int launch_child_and_wait() {
  fill_own_module_path();

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

  prepare_child_exit_code();

  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(OwnModulePath, ChildCommandLine, nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    // Nothing runs from the directory yet: it goes before the failure is reported.
    DWORD error = GetLastError();
    remove_target_directory();
    SetLastError(error);
    die_with_launch_error();
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
  remove_target_directory();
  return static_cast<int>(run_exit_code());
}
