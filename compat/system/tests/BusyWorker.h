#pragma once
// A thread that counts as fast as it can until it is destroyed, for tests
// that stop and restart threads, and a way to put one on a given thread id.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "compat/system/tests/OwnPidNamespace.h"

namespace ovix::testing {

class BusyWorker {
public:
    BusyWorker() {
        m_thread = std::thread([this] {
            m_tid = gettid();
            while (!m_done.load(std::memory_order_relaxed))
                m_progress.fetch_add(1, std::memory_order_relaxed);
        });
        while (m_tid.load() == 0)
            std::this_thread::yield();
    }
    // The worker must be running (not suspended) by then.
    ~BusyWorker() { end(); }
    BusyWorker(const BusyWorker&) = delete;
    BusyWorker& operator=(const BusyWorker&) = delete;

    void end() {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    pid_t tid() const { return m_tid; }
    // When the thread started, in clock ticks since boot, as the kernel keeps it.
    std::uint64_t startTick() const {
        std::ifstream stat("/proc/self/task/" + std::to_string(m_tid) + "/stat");
        const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));  // from field 3 on
        std::string skipped;
        for (int field = 3; field < 22; ++field)
            fields >> skipped;
        std::uint64_t start = 0;
        fields >> start;
        return start;
    }
    std::uint64_t progress() const { return m_progress.load(std::memory_order_relaxed); }

    // Whether the count moves within `limit`.
    bool advancesWithin(std::chrono::milliseconds limit) const {
        const auto start = progress();
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (progress() != start)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

private:
    std::atomic<pid_t> m_tid{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
    // On a cache line of its own: two workers side by side would otherwise
    // slow each other down unevenly.
    alignas(64) std::atomic<std::uint64_t> m_progress{0};
};

// Waits until the kernel has let go of a thread that was joined: join
// returns a moment before the id stops answering.
inline void awaitThreadGone(pid_t tid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (tgkill(getpid(), tid, 0) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The id of a thread of this process that has ended.
inline pid_t endedThreadId() {
    std::atomic<pid_t> tid{0};
    std::thread([&] { tid = gettid(); }).join();
    awaitThreadGone(tid);
    return tid;
}

// A busy worker on thread id `tid`, which a thread of this process that
// started at `endedStart` had until it ended. It starts on a later clock
// tick: threads are told apart by their start, and one that waits for the id
// to come round always starts later. Only in a namespace of
// inOwnPidNamespace, where the test chooses the next id; null elsewhere, or
// when the id is not free within a minute (seconds on a loaded machine).
inline std::unique_ptr<BusyWorker> busyWorkerOnId(pid_t tid, std::uint64_t endedStart) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && nextIdIs(tid)) {
        auto worker = std::make_unique<BusyWorker>();
        if (worker->tid() == tid && worker->startTick() != endedStart)
            return worker;
        // The kernel frees an id a moment after its thread stops answering;
        // until then a new thread gets another.
        const pid_t taken = worker->tid();
        worker.reset();
        awaitThreadGone(taken);
    }
    return nullptr;
}

}  // namespace ovix::testing
