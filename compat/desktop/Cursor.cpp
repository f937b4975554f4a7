#include "compat/desktop/Cursor.h"

#include <atomic>

namespace compat {

namespace {

std::atomic<int> g_x{0};
std::atomic<int> g_y{0};

}  // namespace

Point GetCursorPos() {
    return Point{g_x, g_y};
}

void SetCursorPos(int x, int y) {
    g_x = x;
    g_y = y;
}

}  // namespace compat
