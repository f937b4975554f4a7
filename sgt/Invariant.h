#pragma once
// Broken internal invariants of the spectral graph engine. Such a fault is not
// reported to the caller: the process writes "HEADER:CHECK: VALUE" to the
// standard error stream and aborts. HEADER is the header that holds the check
// ("sgt/LaEigen.h"); CHECK is the check's fixed number in that header, which
// stays the same whatever the header's layout, so that a report always names
// the same check. A condition that a caller's input can reach is no invariant:
// it is thrown as an error with a text.

namespace ovix {

[[noreturn]] void invariantBroken(const char* header, int check, int value) noexcept;

// Aborts with the report above unless `holds`.
inline void checkInvariant(bool holds, const char* header, int check, int value) noexcept {
    if (!holds) [[unlikely]]
        invariantBroken(header, check, value);
}

}  // namespace ovix
