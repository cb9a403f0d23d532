// The fastest simple way to delete a tree by path: a file at a time with DeleteFileW, each
// folder with RemoveDirectoryW once emptied, links not entered, nothing checked. The ideal
// baseline deletes its folder this way and the runner deletes 7-Zip's output this way: both
// are floors for the launcher's clean-up, which also checks every entry before deleting it.
#pragma once

#include <windows.h>

#include <wchar.h>

// Deletes the tree at path (a buffer of at least 32768 units, restored on return).
inline void plain_delete(wchar_t* path) {
  size_t length = wcslen(path);
  if (length + 3 > 32768) return;
  wcscpy(path + length, L"\\*");
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(path, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  path[length] = L'\0';
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const wchar_t* name = found.cFileName;
      if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
      if (length + 2 + wcslen(name) > 32768) continue;
      path[length] = L'\\';
      wcscpy(path + length + 1, name);
      bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (folder) {
        plain_delete(path);
      } else {
        DeleteFileW(path);
      }
      path[length] = L'\0';
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path);
}
