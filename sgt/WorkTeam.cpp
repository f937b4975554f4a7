#include "sgt/WorkTeam.h"

#include <algorithm>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ovix {

namespace {

// Lets a sibling hardware thread run while this one looks again.
void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

}  // namespace

WorkTeam::WorkTeam(unsigned helpers, std::chrono::nanoseconds spin)
    : m_cursors(std::make_unique<Cursor[]>(helpers + 1)), m_spin(spin) {
    m_threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            m_threads.emplace_back([this, i] { serve(i + 1); });
        } catch (const std::system_error&) {
            break;  // the threads that did start share the work
        }
    }
    // Read by the helpers only once a task has started.
    m_shares = static_cast<unsigned>(m_threads.size()) + 1;
}

WorkTeam::~WorkTeam() {
    m_stopping = true;
    {
        const std::lock_guard lock(m_mutex);
    }
    m_taskStarted.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

template <class Ready>
bool WorkTeam::spinUntil(Ready ready) const {
    if (ready())
        return true;
    if (m_spin <= std::chrono::nanoseconds::zero())
        return false;
    const auto deadline = std::chrono::steady_clock::now() + m_spin;
    for (unsigned looks = 1;; ++looks) {
        pause();
        if (ready())
            return true;
        if (looks % 32 == 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}

std::size_t WorkTeam::shareBegin(unsigned share) const {
    return m_parts * share / m_shares;
}

void WorkTeam::run(std::size_t parts, const std::function<void(std::size_t)>& part) {
    if (m_threads.empty() || parts <= 1) {
        for (std::size_t i = 0; i < parts; ++i)
            part(i);
        return;
    }
    m_part = &part;
    m_parts = parts;
    for (unsigned share = 0; share < m_shares; ++share)
        m_cursors[share].next.store(shareBegin(share), std::memory_order_relaxed);
    m_unfinished.store(parts, std::memory_order_relaxed);
    const std::uint64_t task = m_task.load(std::memory_order_relaxed) + 1;
    m_task = task;
    if (m_sleepingHelpers > 0) {
        // No more sleepers woken than the task has parts besides the
        // caller's: a helper woken for nothing costs a sleep and a wake-up.
        const std::size_t wanted = std::min<std::size_t>(parts - 1, m_threads.size());
        const std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < wanted; ++i)
            m_taskStarted.notify_one();
    }
    takeParts(0);
    awaitTaskDone();
}

void WorkTeam::awaitTaskDone() {
    const auto await = [this](auto ready) {
        if (spinUntil(ready))
            return;
        std::unique_lock lock(m_mutex);
        m_callerSleeping = true;
        m_taskDone.wait(lock, ready);
        m_callerSleeping = false;
    };
    await([this] { return m_unfinished == 0; });
    // Closed: a helper that comes now leaves without touching the task.
    m_task = m_task.load(std::memory_order_relaxed) + 1;
    await([this] { return m_joined == 0; });
}

void WorkTeam::wakeCaller() {
    if (m_callerSleeping) {
        const std::lock_guard lock(m_mutex);
        m_taskDone.notify_one();
    }
}

bool WorkTeam::awaitTask(std::uint64_t seen) {
    const auto ready = [this, seen] {
        const std::uint64_t task = m_task;
        return (task != seen && task % 2 == 1) || m_stopping;
    };
    if (!spinUntil(ready)) {
        std::unique_lock lock(m_mutex);
        ++m_sleepingHelpers;
        m_taskStarted.wait(lock, ready);
        --m_sleepingHelpers;
    }
    return !m_stopping;
}

void WorkTeam::serve(unsigned share) {
    std::uint64_t seen = 0;
    while (awaitTask(seen)) {
        const std::uint64_t task = m_task;
        seen = task;
        if (task % 2 == 0)
            continue;  // over before this helper came
        ++m_joined;
        // The task read before joining may have ended since: its parts and
        // function are then no longer the caller's to lend.
        if (m_task == task)
            takeParts(share);
        if (--m_joined == 0)
            wakeCaller();
    }
}

void WorkTeam::takeParts(unsigned share) {
    const std::function<void(std::size_t)>& part = *m_part;
    for (unsigned k = 0; k < m_shares; ++k) {
        const unsigned from = (share + k) % m_shares;
        const std::size_t end = shareBegin(from + 1);
        for (std::size_t i = m_cursors[from].next.fetch_add(1); i < end; i = m_cursors[from].next.fetch_add(1)) {
            part(i);
            if (--m_unfinished == 0)
                wakeCaller();
        }
    }
}

}  // namespace ovix
