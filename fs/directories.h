// Directory creation with a registry (CreatedDirs) of directories known to exist, so that the
// many entries sharing a folder cost one CreateDirectoryW; and the target directory's own
// creation. Relies on fs/user_folders.h for the home folder and fs/private_dir.h.
#pragma once

#include <stddef.h>

// Capacity of the registry: directories remembered before later ones are no longer recorded.
constexpr int kCreatedDirsCapacity = 1024;

// Makes sure the directory exists. True when it exists now, also when something else of that
// name exists (ERROR_ALREADY_EXISTS); false when the system refused to create it. The first
// call seeds the registry with the user's home folder, as "{HOME}" gives it, and ends the
// process with die_with_spec_error("{HOME}") when the system cannot give it. Two-unit paths
// "X:" count as existing.
bool ensure_directory(const wchar_t* path);

// Makes sure every ancestor of path exists, climbing only while creation fails and creating
// the missing levels from the top down. The path itself is not created. Aborts on a path of
// more than 4096 characters.
void ensure_parent_directories(const wchar_t* path);

// Parent role: creates TargetDir afresh (its missing parents first) with the private access
// list, and insists on creating it: whatever already stands at that name (a folder, a file, a
// link someone planted) ends the run with "Error, target directory already exists: '...'.",
// before anything is written and without the clean-up ever running for it. Any other refusal
// (missing rights, a path through a file, a full disk) ends the run too, with the system's
// reason. Sets TargetCreated.
void create_target_directory();
