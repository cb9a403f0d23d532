// Console control and clean-up (see cleanup.h).
#include "supervise/cleanup.h"

#include "launcher/run_state.h"
#include "supervise/roles.h"
#include "supervise/tree_removal.h"

namespace {

constexpr DWORD kChildGraceMs = 5000;
constexpr int kDeleteAttempts = 21;
constexpr DWORD kRetryPauseMs = 100;

}  // namespace

bool is_stop_event(DWORD control_type) {
  switch (control_type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return true;
    default:
      return false;
  }
}

BOOL WINAPI on_console_control(DWORD control_type) {
  if (!is_stop_event(control_type)) return FALSE;
  // The run ends here, with the code the main thread would give it: the child's, or
  // STATUS_CONTROL_C_EXIT for a child that had to be stopped. Leaving it to the default
  // handler would race the main thread's exit with another code (Wine's even exits 0).
  remove_target_directory();
  ExitProcess(run_exit_code());
}

void remove_target_directory() {
  // Whoever takes the handle out of the slot is the only one to wait on, terminate and close it.
  // It records the child's exit code too: its own, or STATUS_CONTROL_C_EXIT when it had to be
  // terminated, so that a stopped run never reports success.
  HANDLE child = InterlockedExchangePointer(const_cast<void**>(&ChildProcess), nullptr);
  if (child != nullptr) {
    DWORD exit_code = kInterruptedExitCode;
    if (WaitForSingleObject(child, kChildGraceMs) == WAIT_OBJECT_0) {
      if (!GetExitCodeProcess(child, &exit_code)) exit_code = 1;
    } else {
      TerminateProcess(child, kInterruptedExitCode);
    }
    CloseHandle(child);
    record_child_exit_code(exit_code);
  }

  if (!ExtractionStarted) return;
  // Attempts stop as soon as one leaves nothing that a later one could still remove.
  for (int attempt = 1;; ++attempt) {
    ++Counters.delete_calls;
    if (!remove_tree(TargetDir) || attempt == kDeleteAttempts) return;
    Sleep(kRetryPauseMs);
  }
}
