#include "sgt/Invariant.h"

#include <cstdio>
#include <cstdlib>

namespace ovix {

void invariantBroken(const char* header, int check, int value) noexcept {
    std::fprintf(stderr, "%s:%d: %d\n", header, check, value);
    std::fflush(stderr);
    std::abort();
}

}  // namespace ovix
