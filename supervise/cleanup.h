// Console control and clean-up: stops a running child and deletes TargetDir at the end of a
// run and on console events (Ctrl+C, Ctrl+Break, close, logoff, shutdown). Parent role only.
#pragma once

#include <windows.h>

// True for the five events above, the ones that end a run.
bool is_stop_event(DWORD control_type);

// The console control handler: for the five events above, removes the target directory and
// ends the launcher with the run's exit code (run_exit_code in roles.h); other events return
// FALSE.
BOOL WINAPI on_console_control(DWORD control_type);

// Stops the child if one runs (5000 ms to end, then TerminateProcess with
// STATUS_CONTROL_C_EXIT) and records its exit code, then, once extraction has started, deletes
// TargetDir (remove_tree: links are never followed): at most 21 attempts, 100 ms apart,
// stopping as soon as an attempt leaves nothing that another could still remove. Reports
// nothing.
void remove_target_directory();
