// Directory creation and the CreatedDirs registry (see directories.h).
#include "fs/directories.h"

#include <windows.h>

#include <wchar.h>

#include "base/report.h"
#include "base/run_state.h"
#include "base/wide.h"
#include "fs/private_dir.h"
#include "fs/user_folders.h"

namespace {

wchar_t* CreatedDirs[kCreatedDirsCapacity];
int CreatedDirsCount;

void remember_directory(const wchar_t* path) {
  if (CreatedDirsCount >= kCreatedDirsCapacity) return;
  wchar_t* copy = _wcsdup(path);
  if (copy == nullptr) die_on_broken_invariant();
  CreatedDirs[CreatedDirsCount++] = copy;
}

// The user's home folder as the template's {HOME} gives it: without trailing backslashes.
void seed_with_home() {
  static wchar_t home[kFolderUnits];
  if (!user_folder(UserFolder::kHome, home) || home[0] == L'\0') die_with_spec_error(L"{HOME}");
  size_t length = wcslen(home);
  while (length > 0 && home[length - 1] == L'\\') home[--length] = L'\0';
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

void create_target_directory() {
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
