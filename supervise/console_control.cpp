// Console control (see console_control.h).
#include "supervise/console_control.h"

#include "base/report.h"
#include "supervise/child.h"

BOOL WINAPI on_console_control(DWORD control_type) {
  if (!is_stop_event(control_type)) return FALSE;
  // The run ends here, with the code the main thread would give it: the child's, or
  // STATUS_CONTROL_C_EXIT for a child that had to be stopped. Leaving it to the default
  // handler would race the main thread's exit with another code (Wine's even exits 0).
  stop_child_and_remove_target();
  ExitProcess(run_exit_code());
}

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

void watch_console_events() {
  if (!SetConsoleCtrlHandler(on_console_control, TRUE)) {
    die_with_message("Error, failed to register signal handler.");
  }
}
