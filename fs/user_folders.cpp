// The user's folders (see user_folders.h).
#include "fs/user_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "base/late_bound.h"

bool user_folder(UserFolder which, wchar_t folder[kFolderUnits]) {
  int csidl = which == UserFolder::kHome ? CSIDL_PROFILE : CSIDL_LOCAL_APPDATA;
  auto folder_path = LATE_BOUND(L"shell32.dll", SHGetFolderPathW);
  return folder_path(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK;
}

bool temp_folder(wchar_t* folder, size_t room) {
  // Given too little room the call answers the size it needs and writes nothing we may use.
  DWORD length = GetTempPathW(static_cast<DWORD>(room), folder);
  if (length == 0 || length >= room) {
    if (room > 0) folder[0] = L'\0';
    return false;
  }
  return true;
}
