// Directory creation and the CreatedDirs registry (see directories.h).
#include "fs/directories.h"

#include <windows.h>

#include <wchar.h>

#include "dirspec/expand.h"
#include "launcher/report.h"
#include "launcher/run_state.h"
#include "launcher/wide.h"

namespace {

wchar_t* CreatedDirs[kCreatedDirsCapacity];
int CreatedDirsCount;

void remember_directory(const wchar_t* path) {
  if (CreatedDirsCount >= kCreatedDirsCapacity) return;
  wchar_t* copy = _wcsdup(path);
  if (copy == nullptr) die_on_broken_invariant();
  CreatedDirs[CreatedDirsCount++] = copy;
}

void seed_with_home() {
  static const wchar_t kHomeSpec[] = L"{HOME}";
  static wchar_t home[kPathUnits];
  if (!expand_dir_spec(home, kHomeSpec, kPathUnits)) die_with_spec_error(kHomeSpec);
  remember_directory(home);
}

// The last backslash at position 1 or later; position 0 (a rooted path's own backslash) is
// never a place to cut.
wchar_t* last_cut(wchar_t* path) {
  for (size_t i = wcslen(path); i > 1; --i) {
    if (path[i - 1] == L'\\') return &path[i - 1];
  }
  return nullptr;
}

}  // namespace

bool ensure_directory(const wchar_t* path) {
  if (CreatedDirsCount == 0) seed_with_home();

  for (int i = 0; i < CreatedDirsCount; ++i) {
    if (wcscmp(CreatedDirs[i], path) == 0) return true;
  }
  if (wcslen(path) == 2 && path[1] == L':') return true;  // a drive designator

  ++Counters.create_directory_calls;
  if (!CreateDirectoryW(path, nullptr)) {
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return false;
  }
  remember_directory(path);
  return true;
}

void ensure_parent_directories(const wchar_t* path) {
  // Climbs while creation fails, then creates each missing level on the way back down. Done
  // in one buffer rather than by recursion: every cut replaces a backslash with a terminator,
  // so putting the backslash back at the current end restores the level below.
  static wchar_t levels[kPathUnits + 1];
  wide_copy(levels, kPathUnits + 1, path);

  size_t failed_levels = 0;
  for (;;) {
    wchar_t* cut = last_cut(levels);
    if (cut == nullptr) break;
    *cut = L'\0';
    if (ensure_directory(levels)) {
      *cut = L'\\';
      break;
    }
    ++failed_levels;
  }
  for (; failed_levels > 0; --failed_levels) {
    ensure_directory(levels);
    levels[wcslen(levels)] = L'\\';
  }
}

int created_dirs_count() { return CreatedDirsCount; }
