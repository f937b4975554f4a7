#pragma once
// What the launcher knows of the running main application, shared by its
// threads without a lock: each number is one 32-bit atomic value.

#include <atomic>
#include <cstdint>

namespace ovix {

struct AppIds {
    // Target of every message to the application: set by the runner at each
    // start, then replaced by what the application reports.
    std::atomic<std::uint32_t> threadId{0};
    // Known only once the application has reported it; 0 until then.
    std::atomic<std::uint32_t> processId{0};
    // The low half of the process id, reported ahead of the high half.
    std::atomic<std::uint32_t> pendingProcessLow{0};
};

}  // namespace ovix
