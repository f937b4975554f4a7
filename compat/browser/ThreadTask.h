#pragma once
// Running code on the thread that owns a window, the way a sent message runs
// there: at once when the caller is that thread, otherwise handed to that
// thread's message loop (a message to the window wakes it). While the caller
// waits, it runs what other threads hand to it, so two threads that hand each
// other work do not lock up.

#include <functional>

#include "compat/browser/BrowserExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

// Runs `task` on the thread of `window` (made by CreateWindowEx) and waits
// for it; an exception it throws is thrown here. False when there is no such
// window, or it is destroyed (or its thread ends) before the task ran.
COMPAT_BROWSER_EXPORT bool runOnWindowThread(WindowHandle window, const std::function<void()>& task);
// Hands `task` to the thread of `window` without waiting. False when there
// is no such window.
COMPAT_BROWSER_EXPORT bool postToWindowThread(WindowHandle window, std::function<void()> task);

// The message that wakes a loop for a handed task, and what the window layer
// does with it: runs the oldest task handed to the calling thread, so that a
// task runs after what was posted to the thread before it was handed.
inline constexpr std::uint32_t kHandedTaskMessage = 0xC0DE;
COMPAT_BROWSER_EXPORT void runHandedTask();

}  // namespace compat
