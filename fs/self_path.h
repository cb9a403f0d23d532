// The launcher's own executable path, plain and resolved, and the two in-place path steps the
// resolved form rests on. Relies on kernel32 only; nothing here reports failures.
#pragma once

#include <stddef.h>

#include "base/wide.h"

// The own executable path, computed once per form and then served from a cache. Plain form:
// the module file name with its directory part shortened. Resolved form: the final path of
// the file, extended-length prefixes removed, directory part shortened. Empty when the module
// file name cannot be had. The result is read-only and lives until the process ends.
const wchar_t* resolve_self_path(bool resolve);

// Rewrites the path of an existing file, in place, into its final, prefix-free, shortened
// form. A file that cannot be opened keeps its name (only the directory part is shortened).
// Aborts when the final path does not fit in capacity - 1 characters.
void resolve_final_path(wchar_t* path, size_t capacity);

// Rewrites everything before the last backslash into its short (8.3) form, keeping the last
// component. A directory part without a short form stays as it was, also when the folder
// vanishes between the size query and the conversion. Aborts when the result does not fit in
// capacity.
void shorten_directory_part(wchar_t* path, size_t capacity);

// Appends path's extended-length form ("\\?\C:\...", "\\?\UNC\server\share\...") to out; a
// path in that form already is appended as it is. Aborts when out would overflow.
void append_extended_length_form(WideBuffer* out, const wchar_t* path);
