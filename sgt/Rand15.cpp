#include "sgt/Rand15.h"

namespace ovix {

Rand15& threadRand15() {
    thread_local Rand15 generator;
    return generator;
}

}  // namespace ovix
