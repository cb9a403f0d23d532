// The child role's end: the packaged application's main DLL entered through run_code. Relies on
// supervise/missing_import.h to name what a failed load lacks.
#pragma once

// Child role: loads FirstEntryPath with a search path of its own folder, TargetDir and the
// system folder only, and returns what its run_code export returns. Ends the process with
// "Error, load DLL." (OS error) or "Error, DLL entry point not found.".
int run_library_entry();
