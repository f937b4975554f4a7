#pragma once
// Broken internal invariants of the spectral graph engine and the classifier.
// Such a fault is not reported to the caller: the process writes the
// failure's report "HEADER:CHECK: VALUE" (sgt/CheckFailure.h) to the standard
// error stream and aborts. The source of an invariant check is the header that declares what
// it guards ("sgt/LaEigen.h"). A condition that a caller's input can reach is
// no invariant: it is thrown as an error with a text.

#include "sgt/CheckFailure.h"

namespace ovix {

[[noreturn]] void invariantBroken(SourceCheck check, long long value) noexcept;

// Aborts with the report above unless `holds`.
inline void checkInvariant(bool holds, SourceCheck check, long long value) noexcept {
    if (!holds) [[unlikely]]
        invariantBroken(check, value);
}

}  // namespace ovix
