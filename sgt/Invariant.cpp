#include "sgt/Invariant.h"

#include <cstdio>
#include <cstdlib>

namespace ovix {

void invariantBroken(SourceCheck check, long long value) noexcept {
    std::fputs(CheckFailure(check, value).report().c_str(), stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace ovix
