#pragma once
// Whether a thread of this process sits blocked in a given system call, for
// tests that must act only once another thread waits: the kernel tells it in
// /proc/self/task/TID/syscall, whose first field is the number of the call
// the thread is blocked in ("running" while it runs).

#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <string>

#include "testing/ScratchFolder.h"

namespace ovix::testing {

// Waits until thread `tid` is blocked in system call `number` (SYS_read,
// SYS_poll, ...); false when it is not within `limit`.
inline bool blockedInSystemCall(pid_t tid, long number, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/syscall";
    return eventually(
        [&] {
            long current = -1;
            return static_cast<bool>(std::ifstream(path) >> current) && current == number;
        },
        limit);
}

}  // namespace ovix::testing
