// Where placeholder values come from: the system, the process and the build. The template
// parser (expand.cpp) needs no operating system; these functions are its only link to one.
#pragma once

#include <stddef.h>

enum class Placeholder {
  kTemp, kHome, kCacheDir, kProgram, kProgramBase, kProgramDir,
  kPid, kTime, kTimeUs, kRandom,
  kCompany, kProduct, kVersion, kFileVersion, kProductVersion,
};

// Capacity of the folder buffer handed to placeholder_folder (MAX_PATH).
constexpr size_t kFolderUnits = 260;

// Writes the temporary directory at `at`, given `room` units; may write nothing.
void placeholder_temp(wchar_t* at, size_t room);

// Looks up the home (kHome) or local application data (kCacheDir) folder; false on failure.
bool placeholder_folder(Placeholder which, wchar_t folder[kFolderUnits]);

// The text of every other placeholder but the two derived from {PROGRAM}. {PROGRAM} is the
// parent's argv[0] in both roles (the child reads it from VELDRO_ORIGINAL_ARGV0). Ends the
// process where the value cannot be had (no argv[0], a malformed inherited parent id).
const wchar_t* placeholder_text(Placeholder which);
