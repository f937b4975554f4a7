#pragma once
// The toolbar's host window: a hidden child of the band's site window and
// the parent of the toolbar control. It answers the control's tooltip
// requests with the buttons' texts and reflects the notifications of its
// controls back to them (WM_COMMAND as OCM_COMMAND, WM_NOTIFY as OCM_NOTIFY),
// so that a control handles its own. Used on the thread that made it.

#include <cstdint>

#include "compat/browser/Rect.h"
#include "compat/browser/WindowMessages.h"

namespace ovix {

// Reflected notifications, as the control library numbers them.
inline constexpr std::uint32_t OCM_BASE = compat::WM_USER + 0x1C00;
inline constexpr std::uint32_t OCM_COMMAND = OCM_BASE + compat::WM_COMMAND;
inline constexpr std::uint32_t OCM_NOTIFY = OCM_BASE + compat::WM_NOTIFY;

class CWndReflection {
public:
    CWndReflection() = default;
    ~CWndReflection() { Destroy(); }
    CWndReflection(const CWndReflection&) = delete;
    CWndReflection& operator=(const CWndReflection&) = delete;

    // Makes the window at `rect` in `parent`; false when it cannot be made.
    bool Create(compat::WindowHandle parent, const compat::Rect& rect);
    // Destroys the window, with its children, if it is there.
    void Destroy();
    compat::WindowHandle window() const { return m_window; }

private:
    std::intptr_t OnMessage(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam);

    compat::WindowHandle m_window = 0;
};

}  // namespace ovix
