// The two roles of a run: deciding the role, starting and supervising the child (parent), and
// entering the packaged application's main DLL (child). Relies on fs/, launcher/ and cleanup.h.
#pragma once

#include "launcher/wide.h"

// True when VELDRO_ONEFILE_PARENT names a live process running this same executable (compared
// by resolved path). Every failure on the way means false: the parent role.
bool check_parent_identity();

// Child role: loads FirstEntryPath with a search path of its own folder, TargetDir and the
// system folder only, and returns what its run_code export returns. Ends the process with
// "Error, load DLL." (OS error) or "Error, DLL entry point not found.".
int run_library_entry();

// Parent role: starts this executable again with the command line build_child_command_line
// built and inherited standard handles, waits for it, removes TargetDir and returns the run's
// exit code (run_exit_code). Ends the process with "Error, couldn't launch child" when it
// cannot start.
int launch_child_and_wait();

// Exit code of a run that a console event or the session's end interrupted, when the child did
// not end by itself: STATUS_CONTROL_C_EXIT, what Windows gives a process that Ctrl+C ends.
constexpr unsigned long kInterruptedExitCode = 0xC000013A;

// Parent role, before the child starts: creates ChildExitKnown. Ends the process as a broken
// invariant when no event can be made.
void prepare_child_exit_code();

// Records the child's exit code and sets ChildExitKnown. Called once, by whoever took the
// child's handle out of ChildProcess.
void record_child_exit_code(unsigned long code);

// The launcher's exit code for the run: the child's recorded exit code, waiting until it is
// known; kInterruptedExitCode when no child was started.
unsigned long run_exit_code();

// Fills the child command line: the own module path, then the arguments of the launcher's raw
// command line, each quoted as needed and separated by single blanks. Parent role, before
// anything is extracted: a line longer than the system takes (32,766 units) ends the run with
// "Error, command line too long for the child: ...".
void build_child_command_line();

// Appends one argument, quoted as needed, to the child command line.
void append_quoted_argument(const wchar_t* argument);

// The child command line as last built (for tests).
const wchar_t* child_command_line();
