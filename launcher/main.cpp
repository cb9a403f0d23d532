// The launcher's entry point and the order of a run. The parent computes the target directory,
// extracts the payload into it, starts a copy of itself and waits; the child computes the same
// directory, loads the first entry and runs it. Every failure ends the process (report.h).
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include "dirspec/expand.h"
#include "fs/directories.h"
#include "fs/private_dir.h"
#include "launcher/build_inputs.h"
#include "launcher/env.h"
#include "launcher/report.h"
#include "launcher/run_state.h"
#include "launcher/wide.h"
#include "payload/extract.h"
#include "payload/stream.h"
#include "supervise/cleanup.h"
#include "supervise/roles.h"
#include "supervise/session_end.h"

// Wildcard patterns among the arguments stand for the matching file names in __wargv.
int _dowildcard = -1;

namespace {

void compute_target_directory() {
  const wchar_t* spec = configured_dir_spec();
  // A failed expansion is reported before the path is made absolute: a template that failed
  // at its first placeholder leaves an empty path, which no full-path call accepts.
  if (!expand_dir_spec(TargetDir, spec, kPathUnits)) die_with_spec_error(spec);

  static wchar_t absolute[kPathUnits];
  DWORD length = GetFullPathNameW(TargetDir, kPathUnits, absolute, nullptr);
  if (length == 0 || length > kPathUnits - 1) die_on_broken_invariant();
  wide_copy(TargetDir, kPathUnits, absolute);
}

// The parent makes TargetDir itself and insists on making it: whatever already stands at that
// name (a folder, a file, a link someone planted) is refused before anything is written, and
// the clean-up, which deletes what stands there, never runs for it. Any other refusal (missing
// rights, a path through a file, a full disk) ends the run here too, with the system's reason.
void create_fresh_target_directory() {
  static wchar_t directory[kPathUnits];
  wide_copy(directory, kPathUnits, TargetDir);
  size_t length = wcslen(directory);
  while (length > 1 && directory[length - 1] == L'\\') directory[--length] = L'\0';
  ensure_parent_directories(directory);
  unsigned long error = create_private_directory(directory);
  if (error == ERROR_ALREADY_EXISTS) die_with_existing_target(TargetDir);
  if (error != 0) die_with_target_not_created(TargetDir, static_cast<long>(error));
  TargetCreated = true;  // from here on a failure removes it while it is still empty
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  RunArgc = __argc;
  RunArgv = __wargv;
  SetDllDirectoryW(L"");  // the current directory is never searched for DLLs

  IsChildRole = check_parent_identity();
  if (!IsChildRole) reset_run_variables();

  compute_target_directory();

  if (!IsChildRole && !SetConsoleCtrlHandler(on_console_control, TRUE)) {
    die_with_message("Error, failed to register signal handler.");
  }

  ByteRange payload = attached_payload();
  if (!payload_header_is_valid(payload.data, payload.size)) {
    die_with_message("Error, couldn't find attached data header.");
  }
  open_payload_stream_over(payload.data, payload.size);

  if (!IsChildRole) {
    build_child_command_line();  // a line the child cannot get fails before anything is written
    create_fresh_target_directory();
  }
  ExtractionStarted = true;
  extract_entries(IsChildRole);
  if (IsChildRole) return run_library_entry();

  close_payload_stream();
  publish_launch_variables();
  watch_session_end();
  return launch_child_and_wait();
}
