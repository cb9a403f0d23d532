// The process-wide state of one launcher run: set by the driver and the steps it calls, read by
// the modules that plug into later steps. Everything here lives until the process ends; nothing
// is locked: the console control handler reads TargetDir and ExtractionStarted, which the main
// thread sets before the handler can need them. The child's process handle and exit code are
// not here: supervise/child.cpp owns them.
#pragma once

#include <stddef.h>

#include "format/dir_template.h"  // kPathUnits

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
