#pragma once
// The active window and the keyboard focus. One window on the desktop is
// active (or none of this process: another program's); each thread has its
// own focus window. Activation sends the window that loses it WM_ACTIVATE
// with WA_INACTIVE and the one that gains it WM_ACTIVATE, whose default gives
// it the focus. WM_ACTIVATEAPP goes to the top-level windows of the thread
// that gains or loses activation only when the switch crosses processes: from
// or to another program. All windows made here belong to this process, a
// popup's included. When the active window is hidden or destroyed, the one
// active before it (still shown) becomes active again. Any thread may call.

#include "compat/browser/BrowserExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

// The active window; 0 when another program's is.
COMPAT_BROWSER_EXPORT WindowHandle GetActiveWindow();
// The calling thread's focus window, or 0.
COMPAT_BROWSER_EXPORT WindowHandle GetFocus();
// Gives the focus to `window`, a window of the calling thread (0 takes it
// away), sending WM_KILLFOCUS and WM_SETFOCUS; the previous focus window, or
// 0 also when `window` belongs to another thread.
COMPAT_BROWSER_EXPORT WindowHandle SetFocus(WindowHandle window);

}  // namespace compat
