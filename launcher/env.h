// The handoff environment: the variables through which the parent tells its child (and the
// packaged application) about the run. Names are narrow ASCII, widened before every use.
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

// Parent role, before the template is expanded: forgets the per-run tokens of any outer run
// and publishes this process's id as the parent.
void reset_run_variables();

// Parent role, after extraction: publishes the launcher's folder and its typed argv[0].
void publish_launch_variables();
