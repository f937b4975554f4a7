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
// A suspended thread stops wherever it was, and may hold any lock, the
// allocator's and the Python interpreter's included, until it is resumed.
// Code that suspends threads must therefore take, between a suspend and the
// matching resume, no lock and no memory that such a thread could hold:
// suspend() and resume() take none; open() does both, so open handles
// beforehand. Calls that the signal interrupts in the stopped
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
    // A handle on thread `tid` of this process; empty, with errno set, when
    // no thread of this process has that id (ESRCH, EINVAL) or no real-time
    // signal is free (EAGAIN).
    static std::optional<SuspendableThread> open(pid_t tid);

    pid_t id() const;

    // Adds one to the thread's suspend count. When the count was 0, returns
    // once the thread has stopped (or after 100 ms, when the thread keeps the
    // signal blocked: it stops as soon as it unblocks it). The previous
    // count; -1, with nothing changed, when the thread has ended.
    int suspend() const;

    // Takes one from the thread's suspend count, down to 0; the thread runs
    // again when it reaches 0. The previous count; -1 when the thread has
    // ended.
    int resume() const;

    struct Record;

private:
    explicit SuspendableThread(Record* record) : m_record(record) {}

    Record* m_record;  // one per thread id, kept for the life of the process
};

// How many times a thread of this process has stopped on a suspend request.
std::uint64_t suspensionCount();

}  // namespace compat
