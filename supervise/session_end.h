// Clean-up at logoff and shutdown for a launcher without a console: console control events
// never reach a windowed process started from Explorer, but session-end messages reach its
// top-level windows. Relies on user32 (bound at first use) and supervise/child.h.
#pragma once

// Parent role, before the child starts: runs a hidden top-level window on a thread of its own
// that, when the session ends (WM_ENDSESSION), stops the child and deletes TargetDir like a
// console event does. Where no window can be created (no display), nothing happens and the
// launcher runs on as before. Under Wine the window is made only when Wine's desktop process
// runs already: the first window would start one that holds the launcher's standard error open.
void watch_session_end();
