// reliability_holder.exe FILE RELEASE EVENT: opens FILE without sharing delete or write access,
// signals the named EVENT, then keeps the file open until RELEASE exists (at most 60 s). Stands
// for a detached grandchild of the packaged application that outlives the run.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  if (ready != nullptr) SetEvent(ready);
  for (int tries = 0; tries < 6000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++tries) Sleep(10);
  CloseHandle(file);
  return 0;
}
