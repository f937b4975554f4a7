#include "sgt/WorkTeam.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "base/FileText.h"

namespace ovix {

namespace {

// Lets a sibling hardware thread run while this one looks again.
void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

static_assert(std::atomic<std::uint32_t>::is_always_lock_free && sizeof(std::atomic<std::uint32_t>) == 4,
              "the system reads a bell as a plain 32-bit word");

// Sleeps until `bell` is rung, unless it no longer holds `heard`: the system
// compares and sleeps in one step, so a ring in between is not missed. It
// may also return early; the caller looks again.
void sleepUnlessRung(std::atomic<std::uint32_t>& bell, std::uint32_t heard) {
    syscall(SYS_futex, &bell, FUTEX_WAIT_PRIVATE, heard, nullptr, nullptr, 0);
}

// Wakes every thread that sleeps on `bell`.
void ring(std::atomic<std::uint32_t>& bell) {
    syscall(SYS_futex, &bell, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

// The threads that the system runs or has ready to run now, or none where
// it does not say.
std::optional<unsigned> runnableThreads() {
    const std::optional<std::string> text = readFileText("/proc/loadavg");
    // "<load over 1, 5 and 15 minutes> <runnable>/<all> <last process id>"
    unsigned runnable = 0, all = 0;
    if (!text || std::sscanf(text->c_str(), "%*s %*s %*s %u/%u", &runnable, &all) != 2)
        return std::nullopt;
    return runnable;
}

}  // namespace

WorkTeam::WorkTeam(unsigned helpers) : WorkTeam(helpers, Options{}) {}

WorkTeam::WorkTeam(unsigned helpers, Options options)
    : m_options(options), m_places(std::make_unique<Place[]>(helpers + 1)) {
    m_threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            m_threads.emplace_back([this, i] { serve(i + 1); });
        } catch (const std::system_error&) {
            break;  // the threads that did start share the work
        }
    }
}

WorkTeam::~WorkTeam() {
    m_stopping = true;
    wake(m_call);
    for (std::thread& thread : m_threads)
        thread.join();
}

template <class Ready>
void WorkTeam::await(Bell& bell, Ready ready) {
    if (ready())
        return;
    if (m_options.spin > std::chrono::nanoseconds::zero()) {
        const auto deadline = std::chrono::steady_clock::now() + m_options.spin;
        for (unsigned looks = 1;; ++looks) {
            pause();
            if (ready())
                return;
            if (looks % 32 == 0 && std::chrono::steady_clock::now() >= deadline)
                break;
        }
    }
    ++bell.sleepers;
    for (;;) {
        const std::uint32_t heard = bell.rung;
        if (ready())
            break;
        sleepUnlessRung(bell.rung, heard);
    }
    --bell.sleepers;
}

void WorkTeam::wake(Bell& bell) {
    if (bell.sleepers > 0) {
        ++bell.rung;
        ring(bell.rung);
    }
}

std::size_t WorkTeam::shareBegin(unsigned share) const {
    return m_task.parts * share / m_task.shares;
}

void WorkTeam::run(std::size_t parts, const std::function<void(std::size_t)>& part, bool backwards) {
    const auto alone = [&](std::size_t skipped) {
        for (std::size_t i = 0; i < parts; ++i)
            if (const std::size_t p = backwards ? parts - 1 - i : i; p != skipped)
                part(p);
    };
    if (helpers() == 0 || parts <= 1) {
        alone(parts);
        return;
    }
    pace();
    m_task.part = &part;
    m_task.parts = parts;
    m_task.backwards = backwards;
    m_task.shares = helpers() + 1;
    for (unsigned share = 0; share < m_task.shares; ++share)
        m_places[share].next.store(shareBegin(share), std::memory_order_relaxed);
    std::size_t unfinished = parts;
    if (m_crowded && shareBegin(1) > 0) {
        // The caller takes its first part before it calls the helpers in: a
        // task that it would do alone in less than kWorthSharing is not worth
        // the risk of a helper stopped inside it.
        const std::size_t first = backwards ? shareBegin(1) - 1 : 0;
        const auto start = std::chrono::steady_clock::now();
        part(first);
        if ((std::chrono::steady_clock::now() - start) * static_cast<std::int64_t>(parts) < kWorthSharing) {
            alone(first);
            return;
        }
        m_places[0].next.store(1, std::memory_order_relaxed);
        --unfinished;
    }
    m_progress.unfinished.store(unfinished, std::memory_order_relaxed);
    const std::uint64_t task = m_task.number.load(std::memory_order_relaxed) + 1;
    m_task.number = task;
    // All sleeping helpers in one system call: should the system stop the
    // caller as it wakes them, they are awake already and take its parts.
    wake(m_call);

    takeParts(0);
    await(m_done, [this] { return m_progress.unfinished == 0; });
    // Closed: a helper that comes now leaves without touching the task.
    m_task.number = task + 1;
    await(m_done, [this] { return m_progress.joined == 0; });
}

bool WorkTeam::machineIsCrowded() {
    static const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    // The team's threads that are awake count among those ready to run, and
    // there are no more of them than processors.
    const std::optional<unsigned> runnable = runnableThreads();
    return runnable && *runnable > processors;
}

void WorkTeam::pace() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_paced < kPace)
        return;
    m_paced = now;
    m_crowded = m_options.crowded();
}

void WorkTeam::serve(unsigned share) {
    std::uint64_t seen = 0;
    for (;;) {
        await(m_call, [this, &seen] {
            const std::uint64_t task = m_task.number;
            return m_stopping || (task != seen && task % 2 == 1);
        });
        if (m_stopping)
            return;
        const std::uint64_t task = m_task.number;
        seen = task;
        if (task % 2 == 0)
            continue;  // over before this helper came
        ++m_progress.joined;
        // The task read before joining may have ended since: its parts and
        // function are then no longer the caller's to lend.
        if (m_task.number == task)
            takeParts(share);
        if (--m_progress.joined == 0)
            wake(m_done);
    }
}

void WorkTeam::takeParts(unsigned share) {
    const std::function<void(std::size_t)>& part = *m_task.part;
    const unsigned shares = m_task.shares;
    std::size_t done = 0;
    for (unsigned k = 0; k < shares; ++k) {
        const unsigned from = (share + k) % shares;
        const std::size_t begin = shareBegin(from), end = shareBegin(from + 1);
        for (std::size_t i = m_places[from].next.fetch_add(1); i < end; i = m_places[from].next.fetch_add(1)) {
            part(m_task.backwards ? begin + end - 1 - i : i);
            ++done;
        }
    }
    if (done > 0 && m_progress.unfinished.fetch_sub(done) == done)
        wake(m_done);
}

}  // namespace ovix
