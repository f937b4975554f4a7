#pragma once
// What the window layer's own sources share; not for its callers.

#include <vector>

#include "compat/ipc/MessageQueue.h"

namespace compat {

// Whether `window` was made by CreateWindowEx and lives.
bool isDesktopWindow(WindowHandle window);
// A window without WS_CHILD.
bool isTopLevelWindow(WindowHandle window);
// The top-level window that holds `window` (itself when top-level).
WindowHandle rootWindow(WindowHandle window);
std::vector<WindowHandle> topLevelWindowsOfThread(ThreadId thread);

// Activation (ActiveWindow.cpp): makes `window` active with WA_ACTIVE or
// WA_CLICKACTIVE; tells it that `window` is hidden or being destroyed.
void activate(WindowHandle window, unsigned how);
void windowLeaving(WindowHandle window);

}  // namespace compat
