#pragma once
// Thread message queues, between the threads of one process and between
// processes of the same user.
//
// A thread gets its queue on its first GetMessage, PeekMessage, SetTimer,
// PostQuitMessage or message window (or ensureMessageQueue); until then, and
// after the thread has ended, posts to it fail. The queue listens on a Unix
// datagram socket named by the thread id in the runtime folder
// (XdgFolders.h), so that other processes can post to it; datagrams sent by
// another user are dropped. Posts between threads of one process go through
// memory. Messages from one sender arrive in the order they were posted, each
// with the sender's process id as the kernel gave it.
//
// Posting may be done from any thread; getting, peeking, quitting and timers
// act on the calling thread's own queue.

#include <chrono>
#include <cstdint>

#include "compat/ipc/IpcExport.h"

namespace compat {

using ThreadId = std::uint32_t;
using WindowHandle = std::uintptr_t;  // 0: no window

class Waitable;

inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_APP = 0x8000;

struct Message {
    WindowHandle window = 0;  // 0 for a thread message
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // The process that posted it: the kernel's sender credentials for a post
    // from another process, this process for its own posts, quits and timers.
    std::uint32_t senderProcess = 0;
};

// The kernel's id of the calling thread; a main thread's id is its process id.
COMPAT_IPC_EXPORT ThreadId currentThreadId();
COMPAT_IPC_EXPORT ThreadId currentProcessId();

// Gives the calling thread its queue when it has none. False, with errno set,
// when the runtime folder or the socket cannot be made.
COMPAT_IPC_EXPORT bool ensureMessageQueue();

// Queues a thread message for `thread`. False, with errno set, when the
// thread has no queue (ENOENT, ECONNREFUSED, ESRCH), its queue is full
// (EAGAIN) or the caller may not reach it (EACCES).
COMPAT_IPC_EXPORT bool PostThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam);

// Waits for the next message of the calling thread's queue: posted messages
// first, then the quit request of PostQuitMessage, then due timers. Returns 1,
// 0 when the message is WM_QUIT, -1 (errno set) when the thread cannot have a
// queue.
COMPAT_IPC_EXPORT int GetMessage(Message& message);

// Like GetMessage without waiting: false when nothing is there. With
// `remove` false the message stays queued.
COMPAT_IPC_EXPORT bool PeekMessage(Message& message, bool remove);

// Asks the calling thread's loop to end: GetMessage gives WM_QUIT with
// `exitCode` once no posted message is left.
COMPAT_IPC_EXPORT void PostQuitMessage(int exitCode);

// Starts or restarts a timer of the calling thread. Each period gives one
// WM_TIMER (wParam the timer id); periods that pass while nobody takes the
// message merge into one. With no window, `id` names an existing thread timer
// to restart or is ignored, and the result is the timer's id. With a window
// (which must belong to the calling thread) the timer is (window, id) and the
// result is non-zero. 0 on failure. Periods below 10 ms count as 10 ms.
COMPAT_IPC_EXPORT unsigned SetTimer(WindowHandle window, unsigned id, unsigned milliseconds);
COMPAT_IPC_EXPORT bool KillTimer(WindowHandle window, unsigned id);

// Waits until `thread` has a queue that takes posts, `owner` (the process
// that runs the thread) has ended, or `timeout` has passed. True when the
// queue is there.
COMPAT_IPC_EXPORT bool waitForThreadQueue(ThreadId thread, const Waitable& owner, std::chrono::milliseconds timeout);

// Frees the queue name of a thread that ended without closing its queue
// (its process was killed). Only for a thread that is known to be dead while
// its id cannot have been reused: the main thread of an ended process that has
// not been reaped yet.
COMPAT_IPC_EXPORT void removeQueueOfDeadThread(ThreadId thread);

// For message windows (MessageWindow.h): queues `message`, window included,
// for a thread of this process.
bool postToThreadOfThisProcess(ThreadId thread, const Message& message);
// Stops every timer of `window` on the calling thread.
void killWindowTimers(WindowHandle window);

}  // namespace compat
