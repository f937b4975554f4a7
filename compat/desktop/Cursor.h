#pragma once
// The mouse pointer, as a headless model: a position that tests set.

#include "compat/desktop/DesktopExport.h"

namespace compat {

struct Point {
    int x = 0;
    int y = 0;
};

// Where the pointer is on the screen; (0, 0) until moved.
COMPAT_DESKTOP_EXPORT Point GetCursorPos();
COMPAT_DESKTOP_EXPORT void SetCursorPos(int x, int y);

}  // namespace compat
