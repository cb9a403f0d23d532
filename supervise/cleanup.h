// Console control and clean-up: stops a running child and deletes TargetDir at the end of a
// run and on console events (Ctrl+C, Ctrl+Break, close, logoff, shutdown). Parent role only.
#pragma once

#include <windows.h>

// The console control handler: removes the target directory for the five events above and
// returns FALSE, so the default handler then ends the launcher.
BOOL WINAPI on_console_control(DWORD control_type);

// Stops the child if one runs (5000 ms to end, then TerminateProcess), then, once extraction
// has started, deletes TargetDir (remove_tree: links are never followed): at most 21
// attempts, 100 ms apart, stopping as soon as an attempt leaves nothing that another could
// still remove. Reports nothing.
void remove_target_directory();
