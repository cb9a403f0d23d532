// The parent's child: the copy of the launcher that runs the application. Its command line,
// its start, the wait, and its process handle and exit code, which nothing else touches: the
// main thread and the console control handler (or the session-end window) may both end the
// run, and whichever takes the handle first stops the child and records its exit code.
// Relies on supervise/target_removal.h.
#pragma once

// Exit code of a run that a console event or the session's end interrupted, when the child did
// not end by itself: STATUS_CONTROL_C_EXIT, what Windows gives a process that Ctrl+C ends.
constexpr unsigned long kInterruptedExitCode = 0xC000013A;

// Fills the child's command line: the own module path, then the arguments of the launcher's
// raw command line, each quoted as needed (format/command_line.h) and separated by single
// blanks; and chooses the form of the own path the child is started by. Parent role, before
// anything is extracted: a line longer than the system takes (32,766 units) ends the run with
// "Error, command line too long for the child: ...", an own path that no form can start with
// "Error, couldn't launch child ([Error 206] ...)".
void build_child_command_line();

// After build_child_command_line and the extraction: starts the child with that command line
// and the inherited standard handles, waits for it, removes TargetDir and returns the run's
// exit code (run_exit_code). When the child cannot be started, removes TargetDir and ends the
// run with "Error, couldn't launch child".
int launch_child_and_wait();

// If the child's handle is still to be taken: gives the child 5000 ms to end, terminates it
// with kInterruptedExitCode otherwise, and records its exit code. Then removes TargetDir.
// For the console control handler and the session-end window.
void stop_child_and_remove_target();

// The launcher's exit code for the run: the child's recorded exit code, waiting until it is
// known; kInterruptedExitCode when no child was started.
unsigned long run_exit_code();
