// Expansion of a directory template (DirSpec): literal text with {NAME} placeholders, names
// matched without regard to case. Relies on dirspec/values.h for the values themselves.
//
// Choices where the format leaves room:
// - A '}' outside a placeholder is a false result: a template cannot hold a literal brace,
//   and a stray one is a typo better reported than turned into a folder name.
// - A placeholder name longer than 1023 characters is unknown: a false result.
#pragma once

#include <stddef.h>

// Expands spec into out, whose capacity counts units including the terminator (at least 1).
// The output is terminated at every moment. True: out holds the whole expansion. False: an
// unknown or empty placeholder, a stray '}', literal text that does not fit, or a failed
// folder lookup; out holds what was expanded so far. A placeholder value that does not fit
// ends the process (a broken invariant). An empty {TEMP}, {HOME} or {CACHE_DIR} (the lookup
// failed, or its value did not fit) is a failed lookup too. Prints nothing.
bool expand_dir_spec(wchar_t* out, const wchar_t* spec, size_t capacity);
