// Handoff environment variables (see env.h).
#include "launcher/env.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "fs/self_path.h"
#include "launcher/report.h"
#include "launcher/run_state.h"
#include "launcher/wide.h"

const char kParentVariable[] = "VELDRO_ONEFILE_PARENT";
const char kStartVariable[] = "VELDRO_ONEFILE_START";
const char kTimeUsVariable[] = "VELDRO_ONEFILE_TIME_US";
const char kRandomVariable[] = "VELDRO_ONEFILE_RANDOM";
const char kDirectoryVariable[] = "VELDRO_ONEFILE_DIRECTORY";
const char kArgv0Variable[] = "VELDRO_ORIGINAL_ARGV0";

namespace {

constexpr size_t kNameUnits = 40;
constexpr DWORD kValueUnits = 32768;

wchar_t ValueBuffer[kValueUnits];

}  // namespace

wchar_t* get_env_wide(const char* name) {
  wchar_t wide_name[kNameUnits];
  widen_narrow(wide_name, kNameUnits, name);
  wmemset(ValueBuffer, L'\0', kValueUnits);
  DWORD length = GetEnvironmentVariableW(wide_name, ValueBuffer, kValueUnits);
  if (length == 0 || length > kValueUnits) return nullptr;
  wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
  if (copy == nullptr) die_with_message("Error, couldn't allocate memory.");
  wmemcpy(copy, ValueBuffer, length + 1);
  return copy;
}

void set_env_from_narrow_name(const char* name, const wchar_t* value) {
  wchar_t wide_name[kNameUnits];
  widen_narrow(wide_name, kNameUnits, name);
  SetEnvironmentVariableW(wide_name, value);
}

void reset_run_variables() {
  set_env_from_narrow_name(kStartVariable, nullptr);
  set_env_from_narrow_name(kTimeUsVariable, nullptr);
  set_env_from_narrow_name(kRandomVariable, nullptr);

  char narrow_pid[128];
  snprintf(narrow_pid, sizeof narrow_pid, "%ld", static_cast<long>(GetCurrentProcessId()));
  wchar_t pid[128];
  widen_narrow(pid, 128, narrow_pid);
  set_env_from_narrow_name(kParentVariable, pid);
}

void publish_launch_variables() {
  // The folder of the launcher: its plain own path cut at the last backslash.
  static wchar_t directory[kSelfPathUnits];
  wide_copy(directory, kSelfPathUnits, resolve_self_path(false));
  wchar_t* last_backslash = wcsrchr(directory, L'\\');
  if (last_backslash != nullptr) *last_backslash = L'\0';
  set_env_from_narrow_name(kDirectoryVariable, directory);
  set_env_from_narrow_name(kArgv0Variable, RunArgc > 0 ? RunArgv[0] : nullptr);
}
