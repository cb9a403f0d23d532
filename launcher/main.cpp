// The launcher's entry point and the order of a run, nothing else. The parent computes the
// target directory, extracts the payload into it, starts a copy of itself and waits; the child
// computes the same directory, loads the first entry and runs it. Every failure ends the
// process (base/report.h).
#include <windows.h>

#include <stdlib.h>

#include "base/build_inputs.h"
#include "base/report.h"
#include "base/run_state.h"
#include "dirspec/expand.h"
#include "fs/directories.h"
#include "payload/extract.h"
#include "payload/stream.h"
#include "supervise/child.h"
#include "supervise/console_control.h"
#include "supervise/handoff.h"
#include "supervise/library_entry.h"
#include "supervise/parent_check.h"
#include "supervise/session_end.h"

// Wildcard patterns among the arguments stand for the matching file names in __wargv.
int _dowildcard = -1;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  RunArgc = __argc;
  RunArgv = __wargv;
  SetDllDirectoryW(L"");  // the current directory is never searched for DLLs

  IsChildRole = check_parent_identity();
  if (!IsChildRole) reset_run_variables();

  compute_target_directory();
  if (!IsChildRole) watch_console_events();

  ByteRange payload = attached_payload();
  if (!payload_header_is_valid(payload.data, payload.size)) {
    die_with_message("Error, couldn't find attached data header.");
  }
  open_payload_stream_over(payload.data, payload.size);

  if (!IsChildRole) {
    build_child_command_line();  // a line the child cannot get fails before anything is written
    create_target_directory();
  }
  ExtractionStarted = true;
  extract_entries(IsChildRole);
  if (IsChildRole) return run_library_entry();

  close_payload_stream();
  publish_launch_variables();
  watch_session_end();
  return launch_child_and_wait();
}
