#pragma once
// Waits and wakes on a 32-bit word shared by the threads of this process,
// with the kernel's futex calls directly: no lock and no allocation, so both
// may be used inside a signal handler.

#include <atomic>
#include <cstdint>
#include <ctime>

namespace compat {

using FutexWord = std::atomic<std::uint32_t>;

// Sleeps while `word` holds `expected`, at most `timeout` (nullptr: without
// limit). May return early (a signal, a spurious wake): callers re-check.
void futexWait(const FutexWord& word, std::uint32_t expected, const timespec* timeout);

// Wakes every thread sleeping on `word`.
void futexWakeAll(FutexWord& word);

}  // namespace compat
