#pragma once
// A few threads that share out the parts of one task at a time with the
// thread that hands the task in (the caller).
//
// The parts are dealt out in contiguous shares, one per thread, the caller's
// first: tasks of the same size give each thread the same parts again, so a
// thread finds the data of its parts still in its own cache. A thread that
// has done its share takes the parts left in the others', so a thread that
// the system holds back delays only the part it has taken, and a task whose
// helpers are slow to come is done by those that came.
//
// Between tasks a helper looks for the next one for a short while (the
// team's spin, kSpin unless told), then sleeps on a condition variable until
// a task wakes it; the caller waits for the last parts of a task the same
// way. A solve hands in its tasks a few microseconds apart, which a look
// catches at once and a sleep would cost a system wake-up each to answer; a
// pause longer than the spin costs the spin, no more than the sleep and
// wake-up that follow it cost anyway.
//
// One task at a time: run is called by one thread at a time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ovix {

class WorkTeam {
public:
    // How long a waiting thread looks for its event before it sleeps: about
    // what a sleep and a wake-up by the system cost (bench/work_team.cpp
    // measures both).
    static constexpr std::chrono::microseconds kSpin{50};

    // A team of `helpers` threads besides the caller of run; with 0, run
    // calls every part on the calling thread. Helpers that cannot be started
    // are done without. A waiting thread looks for `spin` before it sleeps.
    explicit WorkTeam(unsigned helpers, std::chrono::nanoseconds spin = kSpin);
    // Stops and joins the helpers.
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    unsigned helpers() const { return static_cast<unsigned>(m_threads.size()); }

    // Calls part(i) once for every i < parts and returns when all have
    // returned. part must not throw.
    void run(std::size_t parts, const std::function<void(std::size_t)>& part);

private:
    // A share's next part, alone on its cache line: the threads that take
    // parts from different shares do not write to one line.
    struct alignas(64) Cursor {
        std::atomic<std::size_t> next{0};
    };

    // Looks at `ready` until it holds or the spin has passed; whether it
    // holds.
    template <class Ready>
    bool spinUntil(Ready ready) const;
    void serve(unsigned share);
    // The helper's look for a task other than `seen`, then its sleep; false
    // when the team stops.
    bool awaitTask(std::uint64_t seen);
    // Takes parts of the running task, from `share` first, then from the
    // others.
    void takeParts(unsigned share);
    std::size_t shareBegin(unsigned share) const;
    // The caller's wait until every part is done and no helper is inside the
    // task.
    void awaitTaskDone();
    void wakeCaller();

    // The task: its number (odd while it runs, even between tasks), the
    // function and the parts, written by the caller before the number turns
    // odd and read by the threads that joined it.
    std::atomic<std::uint64_t> m_task{0};
    const std::function<void(std::size_t)>* m_part = nullptr;
    std::size_t m_parts = 0;
    unsigned m_shares = 1;  // the threads: the helpers and the caller
    std::unique_ptr<Cursor[]> m_cursors;
    std::atomic<std::size_t> m_unfinished{0};
    // Helpers inside the running task: it is not over before they are out.
    std::atomic<unsigned> m_joined{0};

    // Sleeps and wake-ups. A sleeper counts itself (or marks itself) under
    // the mutex before it looks once more; a waker that changed what the
    // sleeper looks at then sees the count and takes the mutex to wake it.
    std::mutex m_mutex;
    std::condition_variable m_taskStarted;
    std::condition_variable m_taskDone;
    std::atomic<unsigned> m_sleepingHelpers{0};
    std::atomic<bool> m_callerSleeping{false};
    std::atomic<bool> m_stopping{false};
    std::chrono::nanoseconds m_spin;

    std::vector<std::thread> m_threads;
};

}  // namespace ovix
