// Handoff environment variables (see env.h).
#include "base/env.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include "base/report.h"
#include "base/wide.h"

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
