// Process-wide state of one launcher run, owned by the driver and read by the modules that plug
// into its steps. Everything here lives until the process ends; nothing is locked (the console
// control handler only reads what the main thread set before the handler could need it).
#pragma once

#include <stddef.h>
#include <stdint.h>

// Capacity of every path buffer of the run, in UTF-16 units, terminator included.
constexpr size_t kPathUnits = 4096;

// The runtime's argument count and wide vector, captured first thing at entry.
extern int RunArgc;
extern wchar_t** RunArgv;

// True when this process was started by a copy of the same executable (the child role).
extern bool IsChildRole;

// The expanded, absolute target directory of this run.
extern wchar_t TargetDir[kPathUnits];

// Set once the parent has created TargetDir afresh: a failure that ends the run removes it if
// it is still empty.
extern bool TargetCreated;

// Set just before the entry loop; the clean-up deletes TargetDir only when it is set.
extern volatile bool ExtractionStarted;

// TargetDir, a backslash and the first entry's name; empty until the first entry is read.
extern wchar_t FirstEntryPath[kPathUnits];

// The running child's process handle (a Windows HANDLE), or null. Taken out of this slot with an
// atomic exchange by whoever waits on, terminates or closes it, so that only one of the main
// thread and the console control handler ever does.
extern void* volatile ChildProcess;

// The child's exit code, and the event (a manual-reset Windows event, created before the child
// starts) that is set once the code is known. Whoever took the child's handle out of
// ChildProcess records the code, once; the other side waits for it, so that the main thread and
// the console control handler end the run with the same code.
extern volatile unsigned long ChildExitCode;
extern void* volatile ChildExitKnown;

// Counts of the system calls whose number the design bounds; tests read them to prove the bound.
struct RunCounters {
  uint64_t decoder_calls;
  uint64_t create_directory_calls;
  uint64_t delete_calls;
  uint64_t write_calls;  // WriteFile calls of the extraction
};
extern RunCounters Counters;
