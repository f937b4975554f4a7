#include "compat/system/InterruptibleSleep.h"

namespace compat {

bool InterruptibleSleep::sleepFor(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    while (m_interrupted.load() == 0) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        futexWait(m_interrupted, 0, &timeout);
    }
    return false;
}

void InterruptibleSleep::interrupt() {
    m_interrupted.store(1);
    futexWakeAll(m_interrupted);
}

void InterruptibleSleep::reset() {
    m_interrupted.store(0);
}

}  // namespace compat
