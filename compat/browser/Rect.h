#pragma once
// A rectangle in pixels: left and top inside it, right and bottom just
// outside.

namespace compat {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace compat
