// The failure lines (see report.h): each is built whole in one buffer, then written by
// report_stream.cpp.
#include "base/report.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "base/report_stream.h"
#include "base/run_state.h"
#include "base/wide.h"

namespace {

// Printed in place of the system description when the system has none for a code.
const wchar_t kNoSystemDescription[] = L"no description available";

// Failures happen once per process; the line can live in static storage.
wchar_t LineStorage[kReportLineUnits];
WideBuffer Line;

// Starts the line with a narrow ASCII text.
void begin_line(const char* text) {
  Line = wide_buffer(LineStorage, kReportLineUnits);
  static wchar_t wide_text[256];
  widen_narrow(wide_text, 256, text);
  buffer_append(&Line, wide_text);
}

// Trims trailing CR and LF characters of text in place; stops at the first other character.
void trim_line_breaks(wchar_t* text) {
  size_t n = wcslen(text);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n')) text[--n] = L'\0';
}

// " ([Error <code>] <system description>)": the description in English, without its final
// line break.
void append_os_error(long code) {
  static wchar_t description[1024];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(code), 0x409, description, 1024,
                                nullptr);
  if (length == 0 || length >= 1024) description[0] = L'\0';
  trim_line_breaks(description);
  char number[32];
  snprintf(number, sizeof number, "%ld", code);
  wchar_t wide_number[32];
  widen_narrow(wide_number, 32, number);
  buffer_append(&Line, L" ([Error ");
  buffer_append(&Line, wide_number);
  buffer_append(&Line, L"] ");
  buffer_append(&Line, description[0] != L'\0' ? description : kNoSystemDescription);
  buffer_append(&Line, L")");
}

// A target directory this run created and left empty goes with the failure: nothing of the
// run is in it. RemoveDirectoryW refuses a directory that holds anything, so what was written
// stays where it is.
void remove_empty_target() {
  if (TargetCreated) RemoveDirectoryW(TargetDir);
}

[[noreturn]] void finish(ReportStream stream) {
  write_report_line(stream, LineStorage);
  remove_empty_target();
  exit(kFailureExitCode);
}

// "<head><wide><tail>" on standard error, exit 2.
[[noreturn]] void die_quoting(const char* head, const wchar_t* wide, const char* tail) {
  begin_line(head);
  buffer_append(&Line, wide);
  static wchar_t wide_tail[64];
  widen_narrow(wide_tail, 64, tail);
  buffer_append(&Line, wide_tail);
  finish(ReportStream::kError);
}

}  // namespace

void die_with_message(const char* text) {
  begin_line(text);
  finish(ReportStream::kOutput);
}

void die_with_os_error(const char* text, long code) {
  begin_line(text);
  append_os_error(code);
  finish(ReportStream::kError);
}

void die_with_load_failure(long code, const wchar_t* missing, const wchar_t* importer) {
  begin_line("Error, load DLL.");
  append_os_error(code);
  if (missing != nullptr) {
    buffer_append(&Line, L" '");
    buffer_append(&Line, missing);
    buffer_append(&Line, L"' (needed by '");
    buffer_append(&Line, importer);
    buffer_append(&Line, L"') was not found.");
  }
  finish(ReportStream::kError);
}

void die_with_spec_error(const wchar_t* spec) {
  begin_line("Error, couldn't runtime expand spec '");
  buffer_append(&Line, spec);
  buffer_append(&Line, L"'.");
  write_report_line(ReportStream::kError, LineStorage);
  abort();
}

void die_with_open_failure(const wchar_t* path) {
  die_quoting("Error, failed to open '", path, "' for writing.");
}

void die_with_unsafe_name(const wchar_t* name) {
  die_quoting("Error, unsafe entry name '", name, "' in attached data.");
}

void die_with_existing_target(const wchar_t* path) {
  die_quoting("Error, target directory already exists: '", path, "'.");
}

void die_with_target_not_created(const wchar_t* path, long code) {
  begin_line("Error, couldn't create target directory '");
  buffer_append(&Line, path);
  buffer_append(&Line, L"'.");
  append_os_error(code);
  finish(ReportStream::kError);
}

void die_with_long_command_line(size_t units, size_t limit) {
  char text[160];
  snprintf(text, sizeof text, "Error, command line too long for the child: %lu characters, at most %lu.",
           static_cast<unsigned long>(units), static_cast<unsigned long>(limit));
  begin_line(text);
  finish(ReportStream::kError);
}

void die_on_broken_invariant() {
  remove_empty_target();
  fflush(stdout);
  abort();
}
