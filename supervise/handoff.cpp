// The parent's handoff variables (see handoff.h).
#include "supervise/handoff.h"

#include <windows.h>

#include <wchar.h>

#include "base/env.h"
#include "base/run_state.h"
#include "base/wide.h"
#include "dirspec/tokens.h"
#include "fs/self_path.h"

void reset_run_variables() {
  set_env_from_narrow_name(kStartVariable, nullptr);
  set_env_from_narrow_name(kTimeUsVariable, nullptr);
  set_env_from_narrow_name(kRandomVariable, nullptr);

  set_env_from_narrow_name(kParentVariable, own_process_id());
}

void publish_launch_variables() {
  // The folder of the launcher: its plain own path cut at the last backslash.
  static wchar_t directory[kPathUnits];
  wide_copy(directory, kPathUnits, resolve_self_path(false));
  wchar_t* last_backslash = wcsrchr(directory, L'\\');
  if (last_backslash != nullptr) *last_backslash = L'\0';
  set_env_from_narrow_name(kDirectoryVariable, directory);
  set_env_from_narrow_name(kArgv0Variable, RunArgc > 0 ? RunArgv[0] : nullptr);
}
