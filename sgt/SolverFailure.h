#pragma once
// Failures of the numerical routines that a caller's input can reach (a
// singular matrix, too many eigenpairs asked, a solver that gives up). They
// are thrown, never aborted on, as "HEADER: CHECK: TEXT": the source and the
// number of the check (sgt/CheckFailure.h) and what went wrong, at most 1023
// characters in all.

#include <stdexcept>
#include <string_view>

#include "sgt/CheckFailure.h"

namespace ovix {

std::runtime_error solverFailure(SourceCheck check, std::string_view text);

}  // namespace ovix
