#pragma once
// Stops and restarts single threads of this process, with suspend counts:
// a thread suspended twice runs again after the second resume.
//
// Linux has no call for it, so a suspend request is a real-time signal sent
// to the thread with its process id (tgkill semantics: an id that is not a
// thread of this process is never touched). The handler parks the thread on
// a futex until its count drops to 0. The signal is the highest real-time
// signal that nobody handles when the first handle is opened; its handler is
// installed once, with SA_RESTART, and no other disposition is changed.
//
// A handle names one thread, not an id: it keeps the thread's start time and
// acts on nothing once that thread has ended, even when the kernel has given
// its id to another thread. No thread suspends itself.
//
// A request does not wait for the thread: it stops when it takes the signal,
// at once when it runs, when it next gets the processor when it waits for it,
// never while it keeps the signal blocked. A thread has one request at a time
// on its way, so one that never takes them costs its suspender nothing and
// piles up no signals.
//
// A suspended thread stops wherever it was, and may hold any lock, the
// allocator's and the Python interpreter's included, until it is resumed.
// Code that suspends threads must therefore take, between a suspend and the
// matching resume, no lock and no memory that such a thread could hold:
// suspend(), resume(), stopped() and alive() take none; open() does both, so
// open handles beforehand. Calls that the signal interrupts in the stopped
// thread restart where the kernel allows; the others fail with EINTR, as they
// would for any signal.
//
// The calls may be made from any thread.

#include <cstdint>
#include <optional>

#include <sys/types.h>

namespace compat {

class SuspendableThread {
public:
    // A handle on the thread that has id `tid` in this process now; empty,
    // with errno set, when there is none (ESRCH, EINVAL) or no real-time
    // signal is free (EAGAIN).
    static std::optional<SuspendableThread> open(pid_t tid);

    pid_t id() const;

    // Adds one to the thread's suspend count and, when it was 0, asks the
    // thread to stop. The previous count; -1, with nothing changed, when the
    // thread has ended (errno ESRCH), is the calling thread (EDEADLK) or
    // cannot be sent the request (EAGAIN).
    int suspend() const;

    // Takes one from the thread's suspend count, down to 0; the thread runs
    // again when it reaches 0. The previous count; -1, with nothing changed,
    // when the thread has ended.
    int resume() const;

    // Whether the thread sits stopped now.
    bool stopped() const;
    // Whether the thread has not ended.
    bool alive() const;

    struct Record;

private:
    SuspendableThread(Record* record, std::uint64_t startTime) : m_record(record), m_startTime(startTime) {}

    // One per thread id, kept for the life of the process and set afresh for
    // each thread that gets the id.
    Record* m_record;
    std::uint64_t m_startTime;  // of the thread, in clock ticks since boot
};

// How many times a thread of this process has stopped on a suspend request.
std::uint64_t suspensionCount();

}  // namespace compat
