#pragma once
// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) into
// a call on a thread of its own, so that the program can shut down in order.

#include <functional>
#include <thread>

#include <signal.h>

#include "compat/system/Waitable.h"

namespace compat {

class TerminationSignals {
public:
    // Blocks the signals in the calling thread, which every thread it starts
    // afterwards inherits, and calls `onSignal` with each one that arrives.
    // Make it before the program's other threads, on its main thread.
    explicit TerminationSignals(std::function<void(int signal)> onSignal);
    // Stops listening and restores the calling thread's signal mask; must be
    // destroyed on the thread that made it.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void listen(int signalDescriptor);

    std::function<void(int)> m_onSignal;
    sigset_t m_previousMask{};
    WaitableEvent m_stop;
    std::thread m_thread;
};

}  // namespace compat
