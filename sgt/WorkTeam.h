#pragma once
// A few threads that share out the parts of one task at a time with the
// thread that hands the task in (the caller).
//
// The parts are dealt out in contiguous shares, one per thread, the caller's
// first: tasks of the same size give each thread the same parts again, so a
// thread finds the data of its parts still in its own cache. A thread that
// has done its share takes the parts left in the others', so a helper that is
// slow to come delays nothing.
//
// Between tasks a helper looks for the next one for a short while (the
// team's spin), then sleeps until a task wakes it; the caller waits for the
// last parts of a task the same way. A solve hands in its tasks a few
// microseconds apart, which a look catches at once and a sleep would cost a
// system wake-up each to answer; a pause longer than the spin costs the spin,
// no more than the sleep and wake-up that follow it cost anyway.
//
// A helper that the system stops in the middle of a part (the machine is
// busy) holds up the whole task until it runs again, for the time slice of
// whatever runs in its place: milliseconds, where a part may take
// microseconds. So on a crowded machine, one with more threads ready to run
// than processors (asked every kPace), the caller takes its first part
// of a task before it calls the helpers in, and does the task alone if that
// part says the whole would take it less than kWorthSharing. Measured
// (bench/arpack_eigs.py --busy): short steps shared on a crowded machine made
// a solve slower than one thread alone, while long ones still gain more from
// the helpers than a stopped helper costs.
//
// One task at a time: run is called by one thread at a time.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace ovix {

class WorkTeam {
public:
    // How long a waiting thread looks for its event before it sleeps: about
    // what a sleep and a wake-up by the system cost (bench/work_team.cpp
    // measures both).
    static constexpr std::chrono::microseconds kSpin{50};
    static constexpr std::chrono::milliseconds kPace{2};
    static constexpr std::chrono::milliseconds kWorthSharing{1};

    // Whether more threads are ready to run than there are processors.
    static bool machineIsCrowded();

    struct Options {
        std::chrono::nanoseconds spin = kSpin;
        // Whether the machine is crowded, asked once every kPace: then short
        // tasks stay with the caller, as above. One that always says no has
        // every task shared by every helper.
        std::function<bool()> crowded = machineIsCrowded;
    };

    // A team of `helpers` threads besides the caller of run; with 0, run
    // calls every part on the calling thread. Helpers that cannot be started
    // are done without.
    explicit WorkTeam(unsigned helpers);
    WorkTeam(unsigned helpers, Options options);
    // Stops and joins the helpers.
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    unsigned helpers() const { return static_cast<unsigned>(m_threads.size()); }

    // Calls part(i) once for every i < parts and returns when all have
    // returned. part must not throw. Each thread takes the parts of its share
    // in ascending order, or backwards in descending order: a task over the
    // same data as the one before it, run the other way, starts on the data
    // that the other left in the thread's cache.
    void run(std::size_t parts, const std::function<void(std::size_t)>& part, bool backwards = false);

private:
    // A thread's place: the next part of its share (the caller's is 0,
    // helper i's is i). Alone on its cache line: threads that take parts from
    // different shares do not write to one line.
    struct alignas(64) Place {
        std::atomic<std::size_t> next{0};
    };

    // Where threads sleep until what they look at changes. A sleeper counts
    // itself in before it looks once more, then sleeps unless the bell has
    // rung since it read it; a waker that changed what the sleepers look at
    // then sees the count and rings, waking all of them in one system call.
    // No lock is shared: a thread stopped by the system while it holds one
    // would keep every waker waiting for a time slice.
    struct alignas(64) Bell {
        std::atomic<std::uint32_t> rung{0};
        std::atomic<unsigned> sleepers{0};
    };

    // Looks at `ready` until it holds or the spin has passed, then sleeps on
    // `bell` until it holds.
    template <class Ready>
    void await(Bell& bell, Ready ready);
    // Wakes the threads that sleep on `bell`, if any do.
    static void wake(Bell& bell);
    void serve(unsigned share);
    // Takes parts of the running task, from `share` first, then from the
    // others.
    void takeParts(unsigned share);
    std::size_t shareBegin(unsigned share) const;
    // Before a task: whether the machine is crowded, asked once every kPace.
    void pace();

    const Options m_options;
    // Written by the caller once a task, read by the helpers that look for
    // tasks: on a cache line of their own, apart from what the threads write
    // as they take and finish parts.
    struct alignas(64) Task {
        // Its number, odd while it runs, even between tasks; the function and
        // the parts, written before the number turns odd and read by the
        // threads that joined it.
        std::atomic<std::uint64_t> number{0};
        const std::function<void(std::size_t)>* part = nullptr;
        std::size_t parts = 0;
        bool backwards = false;
        unsigned shares = 1;  // the caller's and the helpers'
    } m_task;
    // Parts not yet reported done, each thread's reported once it takes no
    // more; helpers inside the running task: it is not over before they are
    // out.
    struct alignas(64) Progress {
        std::atomic<std::size_t> unfinished{0};
        std::atomic<unsigned> joined{0};
    } m_progress;
    std::chrono::steady_clock::time_point m_paced;  // last paced; none yet: the epoch
    // More threads ready to run than processors, when last paced.
    bool m_crowded = false;

    std::unique_ptr<Place[]> m_places;
    // The helpers sleep on m_call between tasks; the caller on m_done until
    // the task's parts are done and its helpers out.
    Bell m_call;
    Bell m_done;
    std::atomic<bool> m_stopping{false};

    std::vector<std::thread> m_threads;
};

}  // namespace ovix
