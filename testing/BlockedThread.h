#pragma once
// The threads of this process, and whether one sits blocked in a given
// system call, for tests that must act only once another thread waits: the
// kernel tells it in /proc/self/task/TID/syscall, whose first field is the
// number of the call the thread is blocked in ("running" while it runs).

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "testing/ScratchFolder.h"

namespace ovix::testing {

// The ids of this process's threads now.
inline std::set<pid_t> threadIdsOfThisProcess() {
    std::set<pid_t> ids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(std::stoi(task.path().filename().string()));
    return ids;
}

// The threads of this process now that are not among `before`.
inline std::vector<pid_t> threadsStartedSince(const std::set<pid_t>& before) {
    std::vector<pid_t> started;
    std::ranges::set_difference(threadIdsOfThisProcess(), before, std::back_inserter(started));
    return started;
}

// Whether thread `tid` is blocked in system call `number` (SYS_read,
// SYS_poll, ...) now.
inline bool inSystemCall(pid_t tid, long number) {
    long current = -1;
    return static_cast<bool>(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/syscall") >> current) &&
           current == number;
}

// Waits until thread `tid` is blocked in system call `number`; false when it
// is not within `limit`.
inline bool blockedInSystemCall(pid_t tid, long number, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return eventually([&] { return inSystemCall(tid, number); }, limit);
}

}  // namespace ovix::testing
