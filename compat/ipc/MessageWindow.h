#pragma once
// Message-only windows: a handle that belongs to the thread that made it and
// a window procedure that receives the messages posted or dispatched to it.
// They are never shown. Handles of destroyed windows are never reused within
// a process, so a post to a stale handle fails.

#include <cstdint>
#include <functional>
#include <optional>

#include "compat/ipc/IpcExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

using WindowProcedure = std::function<std::intptr_t(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                                    std::intptr_t lParam)>;

// Makes a window owned by the calling thread (which gets its queue). 0 when
// the thread cannot have a queue. `defaultProcedure`, when given, is what
// DefWindowProc does for this window: the behaviour of its window class.
COMPAT_IPC_EXPORT WindowHandle CreateMessageWindow(WindowProcedure procedure, WindowProcedure defaultProcedure = {});

// Sends WM_DESTROY to the window procedure and forgets the window and its
// timers. Only the owning thread may destroy a window; false otherwise or when
// the window does not exist.
COMPAT_IPC_EXPORT bool DestroyWindow(WindowHandle window);

COMPAT_IPC_EXPORT bool IsWindow(WindowHandle window);

// The thread that owns the window; empty when there is no such window.
COMPAT_IPC_EXPORT std::optional<ThreadId> windowThread(WindowHandle window);

// Queues a message for the window on its thread. With no window it is a thread
// message of the calling thread. False when the window does not exist.
COMPAT_IPC_EXPORT bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam);

// Runs the procedure of the message's window, on the calling thread, and
// returns its result; 0 for a thread message or a window that is gone.
COMPAT_IPC_EXPORT std::intptr_t DispatchMessage(const Message& message);

// What a procedure does with messages it does not handle: the window's
// default procedure when it was made with one; else WM_CLOSE destroys the
// window and everything else gives 0.
COMPAT_IPC_EXPORT std::intptr_t DefWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam);

// Called when a thread's queue goes away: its windows go with it, silently.
void forgetWindowsOfThread(ThreadId thread);

}  // namespace compat
