#pragma once
// The window classes that the system itself provides: a class's behaviour
// answers, through DefWindowProc, the messages it knows before the system's
// defaults do. For the window layer and the classes' own sources.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "compat/ipc/MessageQueue.h"

namespace compat {

class WindowClassBehavior {
public:
    virtual ~WindowClassBehavior() = default;
    // The class's answer, or nothing to leave the message to the defaults.
    virtual std::optional<std::intptr_t> handle(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam) = 0;
};

// The behaviour of a new `window` of `className`: null for a class the
// system does not provide; false when the class refuses the window.
bool makeClassBehavior(std::string_view className, WindowHandle window,
                       std::shared_ptr<WindowClassBehavior>& behavior);
// The behaviour of a live window, or null.
std::shared_ptr<WindowClassBehavior> windowBehavior(WindowHandle window);

// The system's classes, each made by its model's source: the toolbar, the
// combo box, and the control host, which makes the control its window's
// text names (null when it cannot).
std::shared_ptr<WindowClassBehavior> makeToolbarBehavior();
std::shared_ptr<WindowClassBehavior> makeComboBoxBehavior();
std::shared_ptr<WindowClassBehavior> makeAxHostBehavior(WindowHandle window);

// Sends the parent of `control` a message on the control's thread, as a
// control tells its parent what the user did; false when the control is gone.
bool sendToParent(WindowHandle control, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// The behaviour of `window` as the class T, or null.
template <class T>
std::shared_ptr<T> windowBehaviorAs(WindowHandle window) {
    return std::dynamic_pointer_cast<T>(windowBehavior(window));
}

}  // namespace compat
