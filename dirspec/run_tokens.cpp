// Run-unique token values: computed once per run and kept in the handoff environment.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>
#include <wctype.h>

#include "base/env.h"
#include "base/report.h"
#include "base/wide.h"
#include "dirspec/tokens.h"
#include "format/run_tokens.h"

namespace {

int64_t read_system_time() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) |
                              now.dwLowDateTime);
}

// The value stored in variable, or else the clock's time now as format writes it into text,
// stored there for the child and for later calls.
const wchar_t* time_token(const char* variable, void (*format)(int64_t, wchar_t*),
                          wchar_t text[kTimeTextUnits]) {
  const wchar_t* stored = get_env_wide(variable);
  if (stored != nullptr) return stored;
  format(read_system_time(), text);
  set_env_from_narrow_name(variable, text);
  return text;
}

}  // namespace

const wchar_t* get_run_pid() {
  const wchar_t* inherited = get_env_wide(kParentVariable);
  if (inherited != nullptr) {
    for (const wchar_t* c = inherited; *c != L'\0'; ++c) {
      if (!iswctype(*c, _DIGIT)) die_on_broken_invariant();
    }
    return inherited;
  }
  return own_process_id();
}

const wchar_t* own_process_id() {
  char narrow[128];
  snprintf(narrow, sizeof narrow, "%ld", static_cast<long>(GetCurrentProcessId()));
  static wchar_t pid[128];
  widen_narrow(pid, 128, narrow);
  return pid;
}

const wchar_t* get_run_time() {
  static wchar_t text[kTimeTextUnits];
  return time_token(kStartVariable, format_run_time, text);
}

const wchar_t* get_run_time_us() {
  static wchar_t text[kTimeTextUnits];
  return time_token(kTimeUsVariable, format_run_time_us, text);
}

const wchar_t* get_run_random() {
  const wchar_t* stored = get_env_wide(kRandomVariable);
  if (stored != nullptr) return stored;

  // The counter, the address of a stack variable and the process id: enough to keep two
  // launchers started in the same microsecond apart.
  LARGE_INTEGER counter = {};
  QueryPerformanceCounter(&counter);
  uint64_t c = static_cast<uint64_t>(counter.QuadPart);
  uint64_t a = reinterpret_cast<uintptr_t>(&counter);
  uint32_t seed = static_cast<uint32_t>(c) ^ static_cast<uint32_t>(c >> 32) ^
                  static_cast<uint32_t>(a) ^ static_cast<uint32_t>(a >> 32) ^
                  static_cast<uint32_t>(GetCurrentProcessId());

  uint8_t bytes[kRandomBytes];
  random_bytes_from_seed(seed, bytes);
  static wchar_t token[kRandomTokenChars + 1];
  encode_random_token(bytes, token);
  set_env_from_narrow_name(kRandomVariable, token);
  return token;
}
