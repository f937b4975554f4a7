#pragma once
// A sleep that another thread can cut short. It takes no lock, so the
// sleeping thread never waits for a thread that may be stopped (see
// ThreadSuspension.h).

#include <chrono>

#include "compat/system/Futex.h"

namespace compat {

class InterruptibleSleep {
public:
    // Sleeps for `duration` (nothing when it is not positive). False when
    // interrupted, at once when interrupt() came before.
    bool sleepFor(std::chrono::milliseconds duration);
    // Ends the sleep in progress and every later one until reset().
    void interrupt();
    void reset();

private:
    FutexWord m_interrupted{0};
};

}  // namespace compat
