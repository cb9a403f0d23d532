// Console control events (Ctrl+C, Ctrl+Break, close, logoff, shutdown): in the parent they stop
// the child and remove the target directory; in the child they end the application as Windows
// would. Relies on supervise/child.h.
#pragma once

#include <windows.h>

// True for the five events above, the ones that end a run.
bool is_stop_event(DWORD control_type);

// The parent's handler: for the five events, stops the child, removes the target directory and
// ends the launcher with the run's exit code (supervise/child.h); other events return FALSE.
BOOL WINAPI on_console_control(DWORD control_type);

// Parent role, once TargetDir is known: installs on_console_control. Ends
// the run with "Error, failed to register signal handler." when it cannot be installed.
void watch_console_events();
