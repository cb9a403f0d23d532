// Console control and clean-up (see cleanup.h).
#include "supervise/cleanup.h"

#include <shellapi.h>

#include <wchar.h>

#include "launcher/run_state.h"
#include "launcher/wide.h"

namespace {

constexpr DWORD kChildGraceMs = 5000;
constexpr int kDeleteRetries = 20;
constexpr DWORD kRetryPauseMs = 100;

bool is_link(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool is_dot_entry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool remove_link(const wchar_t* path, DWORD attributes) {
  // A directory link or junction goes with RemoveDirectoryW, a file link with DeleteFileW;
  // neither touches what the link points to.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path) : DeleteFileW(path);
}

// Walks the tree below path (a buffer of kPathUnits + 1 units, restored on return). With
// delete_all false it removes only the links; with delete_all true it also deletes files and
// folders bottom-up. Never descends into a link. Returns whether every link is gone.
bool walk_tree(wchar_t* path, bool delete_all) {
  // The packaged application may have made paths longer than ours; those are skipped here
  // (the shell's delete still gets them) rather than ending the clean-up.
  size_t length = wcslen(path);
  if (length + 3 > kPathUnits) return true;
  wcscpy(path + length, L"\\*");

  bool links_gone = true;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(path, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  path[length] = L'\0';
  if (search == INVALID_HANDLE_VALUE) return true;
  do {
    if (is_dot_entry(found.cFileName)) continue;
    if (length + 2 + wcslen(found.cFileName) > kPathUnits) continue;
    path[length] = L'\\';
    wcscpy(path + length + 1, found.cFileName);
    DWORD attributes = found.dwFileAttributes;
    if (is_link(attributes)) {
      if (!remove_link(path, attributes)) links_gone = false;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!walk_tree(path, delete_all)) links_gone = false;
      if (delete_all) RemoveDirectoryW(path);
    } else if (delete_all) {
      if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path);
    }
    path[length] = L'\0';
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return links_gone;
}

// One delete attempt. The shell's recursive delete follows links into whatever they point
// to, so it only gets the tree once every link inside is gone; a link that refuses to go is
// left in place and the rest is deleted around it.
void delete_target_once() {
  ++Counters.delete_calls;
  wchar_t tree[kPathUnits + 1];
  wide_copy(tree, kPathUnits + 1, TargetDir);
  if (!walk_tree(tree, false)) {
    walk_tree(tree, true);
    RemoveDirectoryW(tree);
    return;
  }

  // pFrom is a list of paths: TargetDir, its terminator and the list's terminator.
  wchar_t from[kPathUnits + 1];
  wide_copy(from, kPathUnits, TargetDir);
  from[wcslen(from) + 1] = L'\0';
  SHFILEOPSTRUCTW request = {};
  request.hwnd = nullptr;
  request.wFunc = FO_DELETE;
  request.pFrom = from;
  request.pTo = L"";
  request.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  request.fAnyOperationsAborted = FALSE;
  request.hNameMappings = nullptr;
  request.lpszProgressTitle = L"";
  SHFileOperationW(&request);
}

bool target_directory_remains() {
  DWORD attributes = GetFileAttributesW(TargetDir);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

BOOL WINAPI on_console_control(DWORD control_type) {
  switch (control_type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      remove_target_directory();
      break;
    default:
      break;
  }
  return FALSE;
}

void remove_target_directory() {
  // Whoever takes the handle out of the slot is the only one to wait on, terminate and close it.
  HANDLE child = InterlockedExchangePointer(const_cast<void**>(&ChildProcess), nullptr);
  if (child != nullptr) {
    if (WaitForSingleObject(child, kChildGraceMs) != WAIT_OBJECT_0) TerminateProcess(child, 0);
    CloseHandle(child);
  }

  if (!ExtractionStarted) return;
  delete_target_once();
  for (int retry = 0; retry < kDeleteRetries; ++retry) {
    if (!target_directory_remains()) return;
    Sleep(kRetryPauseMs);
    delete_target_once();
  }
}
