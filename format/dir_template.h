// The target-directory template (a DirSpec): literal text with {NAME} placeholders, names
// matched without regard to case, and its one table of placeholders. The launcher expands it
// with the values of a run; the packer expands it with stand-ins to judge it at pack time; the
// help text and the README's table list the same placeholders. Portable.
//
// Choices where the format leaves room:
// - A '}' outside a placeholder fails the expansion: a template cannot hold a literal brace, and
//   a stray one is a typo better reported than turned into a folder name.
// - A '{' inside a placeholder starts it afresh; a placeholder left open at the end is dropped.
// - A placeholder name longer than 1023 characters is unknown.
#pragma once

#include <stddef.h>

#include "format/build_inputs.h"

// Capacity of every path buffer of the launcher, in UTF-16 units, terminator included: the
// target directory the template expands to, the own executable's path, a parent's path read
// from the system. A template whose expansion does not fit fails every run.
constexpr size_t kPathUnits = 4096;

enum class Placeholder {
  kTemp, kHome, kCacheDir, kProgram, kProgramBase, kProgramDir,
  kPid, kTime, kTimeUs, kRandom,
  kCompany, kProduct, kVersion, kFileVersion, kProductVersion,
};

enum class PlaceholderKind {
  kFolder,        // a folder of the user's; trailing backslashes go, an empty value fails
  kProgram,       // argv[0] as the user typed it, and the two values derived from it
  kRunUnique,     // fixed once per run, never the same for two runs
  kProductString, // one of the build's product strings (its build-inputs field)
};

struct PlaceholderInfo {
  const char* name;  // upper case, without braces
  Placeholder which;
  PlaceholderKind kind;
  InputsField field;  // for kProductString
  int group;          // index into kPlaceholderGroups
};

constexpr size_t kPlaceholderCount = 15;
extern const PlaceholderInfo kPlaceholders[kPlaceholderCount];

// What the placeholders of a group stand for, as the help text and the README say it.
constexpr size_t kPlaceholderGroupCount = 5;
extern const char* const kPlaceholderGroups[kPlaceholderGroupCount];

// The table's entry for which.
const PlaceholderInfo& placeholder_info(Placeholder which);

// The value of a placeholder during an expansion: a terminated text, or null when it cannot be
// had. room is the units left in the output, terminator included, for a value that is only
// looked up within that room (the temp folder). {PROGRAM_BASE} and {PROGRAM_DIR} are derived
// from the value of {PROGRAM} and never asked for.
typedef const wchar_t* (*PlaceholderValue)(void* context, Placeholder which, size_t room);

enum class Expansion {
  kExpanded,      // out holds the whole expansion
  kFailed,        // an unknown or empty placeholder, a stray '}', literal text that does not
                  // fit, a value that could not be had, an empty folder value
  kValueTooLong,  // a placeholder's value does not fit (for {PROGRAM_BASE} and {PROGRAM_DIR},
                  // the whole of {PROGRAM})
};

// Expands spec into out, whose capacity counts units including the terminator (at least 1).
// The output is terminated at every moment; on failure it holds what was expanded so far.
Expansion expand_template(wchar_t* out, size_t capacity, const wchar_t* spec,
                          PlaceholderValue value, void* context);
