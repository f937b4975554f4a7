#pragma once
// A window message as a thread took it from its queue, with when and where:
// what keyboard hooks build and accelerator handlers receive.

#include <cstdint>

#include "compat/desktop/Cursor.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

struct MessageRecord {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint32_t time = 0;  // milliseconds, as GetMessageTime gives
    Point point;             // screen position of the pointer
};

}  // namespace compat
