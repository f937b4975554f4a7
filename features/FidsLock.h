#pragma once
// The lock of a Fids. It is re-entrant for the thread that holds it, every
// wait for it happens with the host's lock released (BlockingWait.h), and an
// iteration over a FidsDocCount table keeps one level of it held across calls.
// All members may be called from any thread.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ovix {

class FidsLock {
public:
    void lock();
    bool try_lock();
    // Gives back one level; the calling thread must hold the lock.
    void unlock();
    // Gives back one level held by `owner`, from whichever thread calls it
    // (an iteration whose table is destroyed elsewhere). Does nothing when
    // `owner` does not hold the lock.
    void unlockFor(std::thread::id owner);

private:
    bool tryAcquireLocked();  // with m_state held
    void releaseLocked();     // with m_state held

    std::mutex m_state;
    std::condition_variable m_freed;
    std::thread::id m_owner;
    int m_depth = 0;
};

}  // namespace ovix
