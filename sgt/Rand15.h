#pragma once
// The project's pseudo-random generator: 15-bit draws from a 32-bit linear
// congruential state, so that a seed gives the same draws on every platform
// and with every runtime library.

#include <cstdint>

namespace ovix {

class Rand15 {
public:
    static constexpr int max = 0x7FFF;  // the largest draw

    explicit Rand15(std::uint32_t seed = 1) : m_state(seed) {}

    void seed(std::uint32_t seed) { m_state = seed; }

    // The next draw, 0 to max.
    int next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }

private:
    std::uint32_t m_state;
};

// The calling thread's generator, seeded 1 when the thread first uses it: the
// engine's random draws come from it, and a caller that wants other draws
// seeds it.
Rand15& threadRand15();

}  // namespace ovix
