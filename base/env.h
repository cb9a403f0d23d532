// Environment access and the names of the handoff variables, through which the parent tells its
// child (and the packaged application) about the run. Names are narrow ASCII, widened before
// every use.
#pragma once

extern const char kParentVariable[];     // the parent's process id
extern const char kStartVariable[];      // {TIME}
extern const char kTimeUsVariable[];     // {TIME_US}
extern const char kRandomVariable[];     // {RANDOM}
extern const char kDirectoryVariable[];  // the folder holding the launcher exe
extern const char kArgv0Variable[];      // argv[0] as the user typed it

// Returns a heap copy of the variable's value (never freed), or null when the variable is
// absent or empty. Aborts when the name cannot be widened into 40 units.
wchar_t* get_env_wide(const char* name);

// Sets the variable to value; a null value deletes it. The system's result is ignored.
void set_env_from_narrow_name(const char* name, const wchar_t* value);
