#include "sgt/WorkTeam.h"

#include <algorithm>
#include <system_error>

namespace ovix {

WorkTeam::WorkTeam(unsigned helpers) {
    m_threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            m_threads.emplace_back([this] { serve(); });
        } catch (const std::system_error&) {
            break;  // the threads that did start share the work
        }
    }
}

WorkTeam::~WorkTeam() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_taskStarted.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void WorkTeam::run(std::size_t parts, const std::function<void(std::size_t)>& part) {
    if (m_threads.empty() || parts <= 1) {
        for (std::size_t i = 0; i < parts; ++i)
            part(i);
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_part = &part;
        m_parts = parts;
        m_next = 0;
        m_unfinished = parts;
        ++m_task;
        m_running = true;
    }
    // As many helpers as there are parts besides the caller's first: a helper
    // woken for nothing costs a sleep and a wake of the system's.
    const std::size_t wanted = std::min<std::size_t>(parts - 1, m_threads.size());
    for (std::size_t i = 0; i < wanted; ++i)
        m_taskStarted.notify_one();
    takeParts();
    std::unique_lock lock(m_mutex);
    // Every part done, and no helper still inside the task: none can touch
    // it once this returns.
    m_taskDone.wait(lock, [this] { return m_unfinished == 0 && m_joined == 0; });
    m_running = false;
}

void WorkTeam::serve() {
    std::uint64_t seen = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_taskStarted.wait(lock, [&] { return m_stopping || (m_running && m_task != seen); });
        if (m_stopping)
            return;
        seen = m_task;
        ++m_joined;
        lock.unlock();
        takeParts();
        lock.lock();
        if (--m_joined == 0 && m_unfinished == 0)
            m_taskDone.notify_one();
    }
}

void WorkTeam::takeParts() {
    for (std::size_t i = m_next.fetch_add(1); i < m_parts; i = m_next.fetch_add(1)) {
        (*m_part)(i);
        if (m_unfinished.fetch_sub(1) == 1) {
            const std::lock_guard lock(m_mutex);
            m_taskDone.notify_one();
        }
    }
}

}  // namespace ovix
