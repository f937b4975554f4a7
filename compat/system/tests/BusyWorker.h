#pragma once
// A thread that counts as fast as it can until it is destroyed, for tests
// that stop and restart threads, and ways to put one on a given thread id.

#include <linux/futex.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
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

// The most thread and process ids the kernel hands out before it starts
// again from the lowest free one (/proc/sys/kernel/pid_max).
inline long threadIdsBeforeReuse() {
    long ids = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> ids;
    return ids;
}

// Threads that end at once, for making the kernel's thread ids go by: each
// is made with clone() on a stack of its own, without the C library's thread
// set-up, and is not waited for until its stack is needed again, so the ids
// go by as fast as the kernel hands them out.
class ShortLivedThreads {
public:
    ShortLivedThreads() = default;
    ~ShortLivedThreads() {
        for (pid_t& running : m_running)
            awaitEnd(running);
    }
    ShortLivedThreads(const ShortLivedThreads&) = delete;
    ShortLivedThreads& operator=(const ShortLivedThreads&) = delete;

    // Starts one: its id, or 0.
    pid_t start() {
        const std::size_t slot = m_next++ % kSlots;
        awaitEnd(m_running[slot]);
        constexpr int flags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_SYSVSEM |
                              CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID;
        const pid_t id = clone([](void*) { return 0; }, m_stacks[slot].bytes + sizeof m_stacks[slot].bytes, flags,
                               nullptr, &m_running[slot], nullptr, &m_running[slot]);
        return id > 0 ? id : 0;
    }

private:
    static constexpr std::size_t kSlots = 512;
    struct Stack {
        alignas(16) char bytes[16 * 1024];
    };

    // The kernel clears the id and wakes its waiters when the thread ends.
    static void awaitEnd(pid_t& running) {
        for (pid_t id; (id = __atomic_load_n(&running, __ATOMIC_ACQUIRE)) != 0;)
            syscall(SYS_futex, &running, FUTEX_WAIT, id, nullptr, nullptr, 0);
    }

    std::unique_ptr<Stack[]> m_stacks = std::make_unique_for_overwrite<Stack[]>(kSlots);
    pid_t m_running[kSlots] = {};
    std::size_t m_next = 0;
};

// A busy worker on thread id `tid`, once the kernel's ids have come round to
// it again; null when it goes to others within three rounds.
inline std::unique_ptr<BusyWorker> busyWorkerOnId(pid_t tid) {
    ShortLivedThreads passing;
    for (long started = 0; started < 3 * threadIdsBeforeReuse(); ++started) {
        const pid_t id = passing.start();
        if (id == 0)
            return nullptr;
        // Close below it: real workers take the next ids.
        for (pid_t next = id; next >= tid - 8 && next < tid;) {
            auto worker = std::make_unique<BusyWorker>();
            if (worker->tid() == tid)
                return worker;
            next = worker->tid();
        }
    }
    return nullptr;
}

}  // namespace ovix::testing
