#pragma once
// Failures of the numerical routines that a caller's input can reach (a
// singular matrix, too many eigenpairs asked, a solver that gives up). They
// are thrown, never aborted on, as "HEADER: CHECK: TEXT": the header that
// declares the routine, the check's fixed number and what went wrong, at most
// 1023 characters in all.

#include <stdexcept>
#include <string_view>

namespace ovix {

std::runtime_error solverFailure(const char* header, int check, std::string_view text);

}  // namespace ovix
