#pragma once
// The private memory of the calling process: what it alone holds, in RAM or
// in swap, as the kernel counts it in /proc/self/status.

#include <cstdint>
#include <optional>
#include <string_view>

namespace compat {

struct PrivateMemory {
    std::uint64_t nowBytes = 0;   // RssAnon + VmSwap: private pages in RAM and in swap
    std::uint64_t peakBytes = 0;  // VmHWM, the peak resident set, never below nowBytes
};

// From the text of a /proc/<pid>/status file; empty when a figure is missing.
std::optional<PrivateMemory> privateMemoryFromStatus(std::string_view status);

// This process's figures; empty when they cannot be read.
std::optional<PrivateMemory> ownPrivateMemory();

}  // namespace compat
