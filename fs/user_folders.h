// The user's own folders as the system names them: the temp folder, the profile (home) and the
// local application data folder. Relies on kernel32 and shell32 (bound at first use).
#pragma once

#include <stddef.h>

// Capacity of a folder looked up by user_folder (MAX_PATH, the lookup's own limit).
constexpr size_t kFolderUnits = 260;

enum class UserFolder { kHome, kLocalAppData };

// Writes the folder into folder; false when the system cannot give it.
bool user_folder(UserFolder which, wchar_t folder[kFolderUnits]);

// Writes the temp folder (with its trailing backslash) into folder, whose room counts units
// including the terminator; false when the system gives nothing or needs more room.
bool temp_folder(wchar_t* folder, size_t room);
