#pragma once
// The mouse pointer, as a headless model: a position that tests set.

namespace compat {

struct Point {
    int x = 0;
    int y = 0;
};

// Where the pointer is on the screen; (0, 0) until moved.
Point GetCursorPos();
void SetCursorPos(int x, int y);

}  // namespace compat
