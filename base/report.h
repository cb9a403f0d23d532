// Failure reporting: every failure a user can meet prints one line and exits with code 2; a
// broken invariant ends the process at once through the runtime's abort (exit code 3).
// The only module that formats a user-visible failure line. A line goes to its standard
// stream: as the console's own wide text when the stream is a console, as UTF-8 to a pipe or
// a file, and into a message box when the process has no such stream (a windowed launch).
// Lines end in CR LF. Before the process ends, a target directory the run created and left
// empty is removed.
#pragma once

#include <stddef.h>

constexpr int kFailureExitCode = 2;

// Writes text and a line break to standard output, exits 2.
[[noreturn]] void die_with_message(const char* text);

// Writes "<text> ([Error <code>] <system description>)" to standard error, exits 2. The
// description is trimmed of trailing CR/LF; a code the system cannot describe gets a
// readable placeholder instead of an empty field.
[[noreturn]] void die_with_os_error(const char* text, long code);

// The library load failure: "Error, load DLL." with the OS error as above; when missing is
// given (the main DLL's import that could not be found), the line goes on with
// " '<missing>' (needed by '<importer>') was not found.". Standard error, exits 2.
[[noreturn]] void die_with_load_failure(long code, const wchar_t* missing, const wchar_t* importer);

// Writes "Error, couldn't runtime expand spec '<spec>'." to standard error, then aborts.
[[noreturn]] void die_with_spec_error(const wchar_t* spec);

// Writes "Error, failed to open '<path>' for writing." to standard error, exits 2.
[[noreturn]] void die_with_open_failure(const wchar_t* path);

// Writes "Error, unsafe entry name '<name>' in attached data." to standard error, exits 2:
// an entry that would land outside the target directory is never written.
[[noreturn]] void die_with_unsafe_name(const wchar_t* name);

// Writes "Error, target directory already exists: '<path>'." to standard error, exits 2.
[[noreturn]] void die_with_existing_target(const wchar_t* path);

// Writes "Error, couldn't create target directory '<path>'." and the OS error as
// die_with_os_error does to standard error, exits 2.
[[noreturn]] void die_with_target_not_created(const wchar_t* path, long code);

// Writes "Error, command line too long for the child: <units> characters, at most <limit>."
// to standard error, exits 2.
[[noreturn]] void die_with_long_command_line(size_t units, size_t limit);

// A broken invariant (a bounded copy that would overflow, a conversion that must not fail):
// ends the process abnormally through the runtime's abort, without a message.
[[noreturn]] void die_on_broken_invariant();
