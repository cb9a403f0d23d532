// The target directory's own creation: a fresh directory that only the current user and
// SYSTEM may open, so nobody else can plant files in it or read what the application leaves.
// Relies on advapi32 (bound at first use) for the access control list.
#pragma once

// Creates path (its parent must exist) with the descriptor below. Returns 0 on success, else
// the Windows error (ERROR_ALREADY_EXISTS when anything stands at path: a folder, a file or a
// link).
unsigned long create_private_directory(const wchar_t* path);

// The security descriptor given to the new directory (a SECURITY_DESCRIPTOR, built once): an
// explicit DACL, protected from the parent's inheritable entries, granting full access to the
// current user and to SYSTEM only; folders and files created below inherit both entries.
// Aborts when the process token's user cannot be read.
const void* private_directory_descriptor();
