// Failure reporting: every failure a user can meet prints one line and exits with code 2; a
// broken invariant ends the process at once through the runtime's abort (exit code 3).
// The only module that formats a user-visible failure line.
#pragma once

#include <stdint.h>

constexpr int kFailureExitCode = 2;

// Writes text and a newline to standard output, exits 2.
[[noreturn]] void die_with_message(const char* text);

// Writes "<text> ([Error <code>] <system description>)" to standard error, exits 2. The
// description is trimmed of trailing CR/LF; a code the system cannot describe gets a
// readable placeholder instead of an empty field.
[[noreturn]] void die_with_os_error(const char* text, long code);

// Writes "Error, couldn't runtime expand spec '<spec>'." to standard error, then aborts.
[[noreturn]] void die_with_spec_error(const wchar_t* spec);

// Writes "Error, failed to open '<path>' for writing." to standard error, exits 2.
[[noreturn]] void die_with_open_failure(const wchar_t* path);

// Writes "Error, unsafe entry name '<name>' in attached data." to standard error, exits 2:
// an entry that would land outside the target directory is never written.
[[noreturn]] void die_with_unsafe_name(const wchar_t* name);

// Writes "Error, target directory already exists: '<path>'." to standard error, exits 2.
[[noreturn]] void die_with_existing_target(const wchar_t* path);

// A broken invariant (a bounded copy that would overflow, a conversion that must not fail):
// ends the process abnormally through the runtime's abort, without a message.
[[noreturn]] void die_on_broken_invariant();

// Text printed in place of the system description when the system has none for a code.
extern const char kNoSystemDescription[];

// Trims trailing CR and LF characters of text (length n) in place by overwriting them with
// terminators; stops at the first other character. Exposed for tests.
void trim_line_breaks(char* text, uint32_t n);
