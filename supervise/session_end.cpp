// Session-end watcher (see session_end.h).
#include "supervise/session_end.h"

#include <windows.h>

#include "launcher/late_bound.h"
#include "supervise/cleanup.h"

namespace {

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
      if (wparam) remove_target_directory();
      return 0;
    default:
      return DefaultWindowProc(window, message, wparam, lparam);
  }
}

DWORD WINAPI session_window_thread(void*) {
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
