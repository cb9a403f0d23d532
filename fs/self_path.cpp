// Own executable path resolution (see self_path.h).
#include "fs/self_path.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include "base/report.h"
#include "base/run_state.h"
#include "base/wide.h"

namespace {

wchar_t PlainSelfPath[kPathUnits];
wchar_t ResolvedSelfPath[kPathUnits];

using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

bool starts_with(const wchar_t* text, const wchar_t* prefix) {
  return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

}  // namespace

void shorten_directory_part(wchar_t* path, size_t capacity) {
  wchar_t* last_component = nullptr;
  wchar_t* last_backslash = wcsrchr(path, L'\\');
  if (last_backslash != nullptr) {
    *last_backslash = L'\0';
    last_component = _wcsdup(last_backslash + 1);
    if (last_component == nullptr) die_on_broken_invariant();
  }

  DWORD needed = GetShortPathNameW(path, nullptr, 0);
  if (needed != 0) {
    wchar_t* short_form = static_cast<wchar_t*>(malloc((needed + 1) * sizeof(wchar_t)));
    if (short_form == nullptr) die_on_broken_invariant();
    DWORD written = GetShortPathNameW(path, short_form, needed);
    if (written > needed) die_on_broken_invariant();
    // A second call that fails although the first one gave a size (the folder vanished in
    // between) leaves the directory part as it was.
    if (written != 0) wide_copy(path, capacity, short_form);
    free(short_form);
  }

  if (last_component != nullptr) {
    wide_append_char(path, capacity, L'\\');
    wide_append(path, capacity, last_component);
    free(last_component);
  }
}

void resolve_final_path(wchar_t* path, size_t capacity) {
  HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    // Optional: systems before Vista lack it, and then the path keeps its name.
    auto final_path = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("Kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (final_path != nullptr) {
      DWORD length = final_path(file, path, static_cast<DWORD>(capacity), 0);
      if (length > capacity - 1) die_on_broken_invariant();
    }
    CloseHandle(file);

    // \\?\C:\dir\x.exe -> C:\dir\x.exe
    if (starts_with(path, L"\\\\?\\") && path[4] != L'\0' && path[5] == L':') {
      wmemmove(path, path + 4, wcslen(path + 4) + 1);
    }
    // \\?\UNC\server\share\x.exe -> \\server\share\x.exe
    if (starts_with(path, L"\\\\?\\UNC\\")) {
      wmemmove(path + 2, path + 8, wcslen(path + 8) + 1);
    }
  }
  shorten_directory_part(path, capacity);
}

const wchar_t* resolve_self_path(bool resolve) {
  wchar_t* form = resolve ? ResolvedSelfPath : PlainSelfPath;
  if (form[0] != L'\0') return form;

  GetModuleFileNameW(nullptr, form, static_cast<DWORD>(kPathUnits));
  if (resolve) {
    resolve_final_path(form, kPathUnits);
  } else {
    shorten_directory_part(form, kPathUnits);
  }
  return form;
}

void append_extended_length_form(WideBuffer* out, const wchar_t* path) {
  if (starts_with(path, L"\\\\?\\")) {
    buffer_append(out, path);
  } else if (path[0] == L'\\' && path[1] == L'\\') {
    buffer_append(out, L"\\\\?\\UNC\\");
    buffer_append(out, path + 2);
  } else {
    buffer_append(out, L"\\\\?\\");
    buffer_append(out, path);
  }
}
