#pragma once
// The lock of a Fids. It is re-entrant for the thread that holds it, every
// wait for it happens with the host's lock released (BlockingWait.h), and an
// iteration over a FidsDocCount table keeps one level of it held across calls.
// All members may be called from any thread.
//
// Short pieces of work hold it through a Section, which never keeps it while
// waiting for the host's lock: a thread that had to wait for it takes the
// host's lock back only after giving it up, so that other threads never queue
// behind one that waits for the host (and that one's turn may take as long as
// the host's switch interval).

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>

#include "base/BlockingWait.h"

namespace ovix {

class FidsLock {
public:
    // Work on many ids takes the lock for at most this many at a time.
    static constexpr std::size_t kBatch = 512;

    // Holds one level of the lock for its lifetime, for work that touches
    // nothing of the host.
    class Section {
    public:
        explicit Section(FidsLock& lock);
        ~Section();
        Section(const Section&) = delete;
        Section& operator=(const Section&) = delete;

    private:
        FidsLock& m_lock;
        std::optional<BlockingWait> m_hostReleased;  // destroyed after the unlock
    };

    void lock();
    bool try_lock();
    // Gives back one level; the calling thread must hold the lock.
    void unlock();
    // Gives back one level held by `owner`, from whichever thread calls it
    // (an iteration whose table is destroyed elsewhere). Does nothing when
    // `owner` does not hold the lock.
    void unlockFor(std::thread::id owner);

private:
    void waitAndLock();       // with the host's lock already released
    bool tryAcquireLocked();  // with m_state held
    void releaseLocked();     // with m_state held

    std::mutex m_state;
    std::condition_variable m_freed;
    std::thread::id m_owner;
    int m_depth = 0;
};

}  // namespace ovix
