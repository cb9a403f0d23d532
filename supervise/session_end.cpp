// Session-end watcher (see session_end.h).
#include "supervise/session_end.h"

#include <windows.h>
#include <tlhelp32.h>

#include <wchar.h>

#include "base/late_bound.h"
#include "supervise/child.h"

namespace {

bool desktop_process_runs() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    found = _wcsicmp(entry.szExeFile, L"explorer.exe") == 0;
  }
  CloseHandle(snapshot);
  return found;
}

// Windows always runs a desktop for a session a user can log off from. Wine starts its desktop
// process (explorer.exe /desktop) with the first window of a session, and that process keeps
// the Unix standard error of whoever made the window open long after the launcher has ended:
// a pipe the user reads the launcher's output through would never end. So under Wine the
// watcher only joins a desktop that runs already; without one there is no session to leave.
bool session_has_a_desktop() { return !running_under_wine() || desktop_process_runs(); }

// Window functions come from user32, which only the parent loads; bound once, on the watcher's
// thread, before its window exists.
decltype(&DefWindowProcW) DefaultWindowProc;

LRESULT CALLBACK session_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // never hold the session up
    case WM_ENDSESSION:
      // The session really ends (wparam TRUE): after this returns the process may be ended at
      // any moment, so the clean-up runs here, like a console logoff or shutdown event.
      if (wparam) stop_child_and_remove_target();
      return 0;
    default:
      return DefaultWindowProc(window, message, wparam, lparam);
  }
}

DWORD WINAPI session_window_thread(void*) {
  if (!session_has_a_desktop()) return 0;
  const wchar_t* user32 = L"user32.dll";
  DefaultWindowProc = LATE_BOUND(user32, DefWindowProcW);
  auto get_message = LATE_BOUND(user32, GetMessageW);
  auto dispatch_message = LATE_BOUND(user32, DispatchMessageW);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = session_window_proc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"VeldroOnefileSessionWatcher";
  if (!LATE_BOUND(user32, RegisterClassExW)(&window_class)) return 0;
  // A top-level window that is never shown; a message-only window would not get these messages.
  HWND window = LATE_BOUND(user32, CreateWindowExW)(0, window_class.lpszClassName, L"",
                                                    WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                                    window_class.hInstance, nullptr);
  if (window == nullptr) return 0;
  MSG message;
  while (get_message(&message, nullptr, 0, 0) > 0) dispatch_message(&message);
  return 0;
}

}  // namespace

void watch_session_end() {
  HANDLE thread = CreateThread(nullptr, 0, session_window_thread, nullptr, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}
