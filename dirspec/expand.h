// The target directory: the build's template (format/dir_template.h) expanded with the values
// of this run. Relies on fs/ for the user's folders, dirspec/tokens.h for the run-unique tokens
// and base/ for argv[0] and the build's product strings.
#pragma once

#include <stddef.h>

// Expands spec into out, whose capacity counts units including the terminator. True: out holds
// the whole expansion. False: an unknown or empty placeholder, a stray '}', literal text that
// does not fit, or a folder the system cannot give (also a temp folder too long for the room
// left). A placeholder value that does not fit ends the process (a broken invariant). Prints
// nothing.
bool expand_dir_spec(wchar_t* out, const wchar_t* spec, size_t capacity);

// Expands the build's template into TargetDir and makes it absolute. Ends the process with the
// spec error (and the runtime's abort) when the template does not expand.
void compute_target_directory();
