// Console control and clean-up (see cleanup.h).
#include "supervise/cleanup.h"

#include <shellapi.h>

#include <wchar.h>

#include "launcher/late_bound.h"
#include "launcher/run_state.h"
#include "launcher/wide.h"
#include "supervise/roles.h"

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

// Clears a read-only attribute, which would make the delete of a file or folder fail.
void make_writable(const wchar_t* path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
  }
}

// The final path of path as the system resolves it, opened without following a reparse point
// where the system can avoid that. False when it cannot be had.
bool final_path_of(const wchar_t* path, wchar_t* out) {
  HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD length = GetFinalPathNameByHandleW(handle, out, kPathUnits, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  return length > 0 && length < kPathUnits;
}

// True when the file at path (a folder's path, a backslash at dir_length, the file's name) is
// a plain file of that folder: its final path is the folder's final path and its own name.
// Wine reports a Unix symlink to a file as a plain file, and deleting it there deletes the
// file it points to instead; such a link resolves elsewhere and fails this test. A file whose
// final path cannot be had is not taken for plain either. path is restored on return.
bool is_plain_file(wchar_t* path, size_t dir_length) {
  // On the stack, not static: the console handler and the main thread may both be here.
  wchar_t file_final[kPathUnits];
  wchar_t dir_final[kPathUnits];
  if (!final_path_of(path, file_final)) return false;
  path[dir_length] = L'\0';
  bool have_dir = final_path_of(path, dir_final);
  path[dir_length] = L'\\';
  if (!have_dir) return false;
  size_t final_length = wcslen(dir_final);
  if (final_length > 0 && dir_final[final_length - 1] == L'\\') --final_length;
  return _wcsnicmp(file_final, dir_final, final_length) == 0 && file_final[final_length] == L'\\' &&
         _wcsicmp(file_final + final_length + 1, path + dir_length + 1) == 0;
}

// Walks the tree below path (a buffer of kPathUnits + 1 units, restored on return). With
// delete_all false it removes only the links; with delete_all true it also deletes files and
// folders bottom-up. Never descends into a link. Returns true only when the tree is known to
// hold no link any more: a link that would not go, or a part of the tree too deep for the
// buffer (which might hide one), makes it false.
bool walk_tree(wchar_t* path, bool delete_all) {
  size_t length = wcslen(path);
  if (length + 3 > kPathUnits) return false;
  wcscpy(path + length, L"\\*");

  bool links_gone = true;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(path, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  path[length] = L'\0';
  if (search == INVALID_HANDLE_VALUE) return true;
  do {
    if (is_dot_entry(found.cFileName)) continue;
    if (length + 2 + wcslen(found.cFileName) > kPathUnits) {
      links_gone = false;
      continue;
    }
    path[length] = L'\\';
    wcscpy(path + length + 1, found.cFileName);
    DWORD attributes = found.dwFileAttributes;
    if (is_link(attributes)) {
      if (!remove_link(path, attributes)) links_gone = false;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!walk_tree(path, delete_all)) links_gone = false;
      if (delete_all) {
        make_writable(path, attributes);
        RemoveDirectoryW(path);
      }
    } else {
      if (!is_plain_file(path, length)) {
        links_gone = false;  // a link nothing here can remove without harming its target
      } else if (delete_all) {
        make_writable(path, attributes);
        DeleteFileW(path);
      }
    }
    path[length] = L'\0';
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return links_gone;
}

// One delete attempt. The shell's recursive delete follows links into whatever they point
// to, so it only gets the tree once every link inside is gone; when a link refuses to go (or
// the tree is too deep to be sure), the rest is deleted around it here and the shell is not
// asked. A TargetDir that has itself become a link is only unlinked, never entered.
void delete_target_once() {
  ++Counters.delete_calls;
  DWORD attributes = GetFileAttributesW(TargetDir);
  if (attributes != INVALID_FILE_ATTRIBUTES && is_link(attributes)) {
    remove_link(TargetDir, attributes);
    return;
  }

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
  LATE_BOUND(L"shell32.dll", SHFileOperationW)(&request);
}

bool target_directory_remains() {
  DWORD attributes = GetFileAttributesW(TargetDir);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool is_stop_event(DWORD control_type) {
  switch (control_type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return true;
    default:
      return false;
  }
}

BOOL WINAPI on_console_control(DWORD control_type) {
  if (!is_stop_event(control_type)) return FALSE;
  // The run ends here, with the code the main thread would give it: the child's, or
  // STATUS_CONTROL_C_EXIT for a child that had to be stopped. Leaving it to the default
  // handler would race the main thread's exit with another code (Wine's even exits 0).
  remove_target_directory();
  ExitProcess(run_exit_code());
}

void remove_target_directory() {
  // Whoever takes the handle out of the slot is the only one to wait on, terminate and close it.
  // It records the child's exit code too: its own, or STATUS_CONTROL_C_EXIT when it had to be
  // terminated, so that a stopped run never reports success.
  HANDLE child = InterlockedExchangePointer(const_cast<void**>(&ChildProcess), nullptr);
  if (child != nullptr) {
    DWORD exit_code = kInterruptedExitCode;
    if (WaitForSingleObject(child, kChildGraceMs) == WAIT_OBJECT_0) {
      if (!GetExitCodeProcess(child, &exit_code)) exit_code = 1;
    } else {
      TerminateProcess(child, kInterruptedExitCode);
    }
    CloseHandle(child);
    record_child_exit_code(exit_code);
  }

  if (!ExtractionStarted) return;
  delete_target_once();
  for (int retry = 0; retry < kDeleteRetries; ++retry) {
    if (!target_directory_remains()) return;
    Sleep(kRetryPauseMs);
    delete_target_once();
  }
}
