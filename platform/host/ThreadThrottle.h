#pragma once
// Holds registered worker threads to a share of the processor: in every
// 100 ms cycle a thread of its own stops all of them for (100 - p) ms and
// lets them run for p ms, p being the percentage it is given (read anew at
// each step). At 0 and at 100 nothing is stopped and the thread looks again
// once a second.
//
// Thread ids are the kernel's (gettid); 0 means the calling thread. An entry
// names the thread that had the id when it was registered: a thread that
// gets the id after it has ended is never stopped, and the entry is dropped
// at the next pass. The throttle thread never stops itself, and a thread that
// does not take the request (it blocks the signal, or waits for the
// processor) is not waited for: see ThreadSuspension.h.
//
// The calls may be made from any thread. The table lock is held only during
// a stop or a restart pass, never while the throttle thread sleeps, and the
// throttle thread takes no other lock: a stopped worker may hold any lock
// (the Python interpreter's included) without blocking it.

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "compat/system/InterruptibleSleep.h"
#include "compat/system/ThreadSuspension.h"

namespace ovix {

class ThreadThrottle {
public:
    // `percentage` (0..100) must outlive the throttle.
    explicit ThreadThrottle(const std::atomic<int>& percentage);
    // Stops the throttle thread, which leaves no thread stopped.
    ~ThreadThrottle();
    ThreadThrottle(const ThreadThrottle&) = delete;
    ThreadThrottle& operator=(const ThreadThrottle&) = delete;

    // Adds a thread of this process; one already registered is kept as it
    // is. Throws "OpenThread failed" when the id is no thread of this
    // process, with nothing changed.
    void registerThread(unsigned long tid);
    // Resumes the thread when it is held and forgets it; unknown ids are
    // ignored.
    void deregisterThread(unsigned long tid);

    // Starts the throttle thread unless it runs. Throws "error starting
    // thread", staying stopped, when it cannot be made.
    void start();
    // Ends the throttle thread, its registered threads left running; returns
    // at once when it does not run.
    void stop();
    bool running() const;

private:
    struct Entry {
        compat::SuspendableThread thread;
        bool held = false;   // stopped by the pass under way
        bool ended = false;  // found ended: dropped after the pass
    };
    using Table = std::map<unsigned long, Entry>;

    // Whether `tid` stands for a thread that has not ended.
    bool registered(unsigned long tid);
    void run();
    void suspendAll();
    void resumeAll();

    const std::atomic<int>& m_percentage;
    std::mutex m_tableLock;  // guards m_table
    Table m_table;
    std::mutex m_controlLock;  // orders start and stop
    std::atomic<bool> m_running{false};
    compat::InterruptibleSleep m_sleep;
    std::thread m_thread;
};

}  // namespace ovix
