// The role decision: is the process named by VELDRO_ONEFILE_PARENT a copy of this executable?
#include "supervise/parent_check.h"

#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

#include <errno.h>
#include <wchar.h>

#include "base/env.h"
#include "base/run_state.h"
#include "fs/self_path.h"

namespace {

constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

}  // namespace

bool check_parent_identity() {
  const wchar_t* value = get_env_wide(kParentVariable);
  if (value == nullptr || value[0] == L'\0') return false;

  errno = 0;
  wchar_t* end = nullptr;
  long pid = wcstol(value, &end, 10);
  if (errno == ERANGE || end == value || *end != L'\0') return false;

  HANDLE parent = OpenProcess(kQueryAccess, FALSE, static_cast<DWORD>(pid));
  if (parent == nullptr) return false;

  // A path cut to the buffer comes back as its full size: it names no file, so no copy of this one.
  static wchar_t parent_path[kPathUnits];
  DWORD length = K32GetModuleFileNameExW(parent, nullptr, parent_path, kPathUnits);
  if (length == 0 || length >= kPathUnits) {
    CloseHandle(parent);
    return false;
  }
  resolve_final_path(parent_path, kPathUnits);
  bool same_executable = wcscmp(parent_path, resolve_self_path(true)) == 0;
  CloseHandle(parent);
  return same_executable;
}
