// The run's values for the template (see expand.h).
#include "dirspec/expand.h"

#include <windows.h>

#include "base/build_inputs.h"
#include "base/env.h"
#include "base/report.h"
#include "base/run_state.h"
#include "base/wide.h"
#include "dirspec/tokens.h"
#include "format/dir_template.h"
#include "fs/user_folders.h"

namespace {

// {PROGRAM}: the parent's argv[0] exactly as the runtime split it. The child is started by the
// full module path, whatever the user typed (a bare or a short name): it takes the parent's,
// which the parent published before it started the child, so that both name one folder.
const wchar_t* program_name() {
  if (IsChildRole) {
    const wchar_t* parents = get_env_wide(kArgv0Variable);
    if (parents != nullptr) return parents;
  }
  // A process without argv[0] is a broken invariant.
  if (RunArgc < 1 || RunArgv == nullptr || RunArgv[0] == nullptr) die_on_broken_invariant();
  return RunArgv[0];
}

const wchar_t* run_value(void*, Placeholder which, size_t room) {
  static wchar_t folder[kPathUnits];
  switch (which) {
    case Placeholder::kTemp:
      temp_folder(folder, room < kPathUnits ? room : kPathUnits);
      return folder;
    case Placeholder::kHome:
    case Placeholder::kCacheDir:
      if (!user_folder(which == Placeholder::kHome ? UserFolder::kHome : UserFolder::kLocalAppData,
                       folder)) {
        return nullptr;
      }
      return folder;
    case Placeholder::kProgram: return program_name();
    case Placeholder::kPid: return get_run_pid();
    case Placeholder::kTime: return get_run_time();
    case Placeholder::kTimeUs: return get_run_time_us();
    case Placeholder::kRandom: return get_run_random();
    default: return build_input_string(placeholder_info(which).field);
  }
}

}  // namespace

bool expand_dir_spec(wchar_t* out, const wchar_t* spec, size_t capacity) {
  Expansion expansion = expand_template(out, capacity, spec, run_value, nullptr);
  if (expansion == Expansion::kValueTooLong) die_on_broken_invariant();
  return expansion == Expansion::kExpanded;
}

void compute_target_directory() {
  const wchar_t* spec = build_input_string(kInputsDirSpec);
  // A failed expansion is reported before the path is made absolute: a template that failed
  // at its first placeholder leaves an empty path, which no full-path call accepts.
  if (!expand_dir_spec(TargetDir, spec, kPathUnits)) die_with_spec_error(spec);

  static wchar_t absolute[kPathUnits];
  DWORD length = GetFullPathNameW(TargetDir, kPathUnits, absolute, nullptr);
  if (length == 0 || length > kPathUnits - 1) die_on_broken_invariant();
  wide_copy(TargetDir, kPathUnits, absolute);
}
