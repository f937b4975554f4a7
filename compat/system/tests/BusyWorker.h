#pragma once
// A thread that counts as fast as it can until it is destroyed, for tests
// that stop and restart threads.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

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

}  // namespace ovix::testing
