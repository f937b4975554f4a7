#pragma once
// The memory the calling process has in RAM now (its resident set).

#include <cstdint>
#include <optional>

namespace compat {

// Resident bytes of this process, from /proc/self/statm; empty when they
// cannot be read.
std::optional<std::uint64_t> workingSetBytes();

}  // namespace compat
