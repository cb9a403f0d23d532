// What veldro-pack tells the user on standard error while pack or build runs: the progress line
// on a terminal, the warnings (or refusals) about DLLs a run could not load, and the summary
// lines. Relies on app/. Portable.
#pragma once

#include <string>

#include "pack/app/app_request.h"

namespace veldro {

// The observer of pack and build: imports reported as warnings (as refusals with --strict),
// and a progress line when standard error is a terminal, redrawn at most four times a second
// and ended with a line break when the compression is done.
PackObserver terminal_observer();

// "veldro-pack: <n> entries, <in> bytes in, <out> bytes out, ratio <r>, <s> s".
void print_summary(const PackSummary& summary);

// After build's summary: "veldro-pack: wrote '<path>', <n> bytes, <graphical|console> subsystem".
void print_written_exe(const std::string& path, const PackSummary& summary);

}  // namespace veldro
