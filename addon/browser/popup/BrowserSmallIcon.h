#pragma once
// The browser's small icon, which popups show as their own: the first
// helper object of the process that is sited saves its frame's, and it is
// never refreshed. Any thread may call.

#include "compat/browser/Window.h"

namespace ovix {

// When no icon is saved yet, saves the small icon of `frame` (WM_GETICON).
void SaveBrowserSmallIcon(compat::WindowHandle frame);
// The saved icon, or 0.
compat::IconHandle BrowserSmallIcon();

}  // namespace ovix
