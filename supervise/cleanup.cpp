// Console control and clean-up (see cleanup.h).
#include "supervise/cleanup.h"

#include "launcher/run_state.h"
#include "supervise/tree_removal.h"

namespace {

constexpr DWORD kChildGraceMs = 5000;
constexpr int kDeleteAttempts = 21;
constexpr DWORD kRetryPauseMs = 100;

}  // namespace

BOOL WINAPI on_console_control(DWORD control_type) {
  switch (control_type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      remove_target_directory();
      break;
    default:
      break;
  }
  return FALSE;
}

void remove_target_directory() {
  // Whoever takes the handle out of the slot is the only one to wait on, terminate and close it.
  HANDLE child = InterlockedExchangePointer(const_cast<void**>(&ChildProcess), nullptr);
  if (child != nullptr) {
    if (WaitForSingleObject(child, kChildGraceMs) != WAIT_OBJECT_0) TerminateProcess(child, 0);
    CloseHandle(child);
  }

  if (!ExtractionStarted) return;
  // Attempts stop as soon as one leaves nothing that a later one could still remove.
  for (int attempt = 1;; ++attempt) {
    ++Counters.delete_calls;
    if (!remove_tree(TargetDir) || attempt == kDeleteAttempts) return;
    Sleep(kRetryPauseMs);
  }
}
