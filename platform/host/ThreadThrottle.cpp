#include "platform/host/ThreadThrottle.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "compat/system/TimeCriticalPriority.h"

namespace ovix {

namespace {

constexpr int cycleMs = 100;
constexpr auto idleCheck = std::chrono::milliseconds(1000);

unsigned long threadIdOrCaller(unsigned long tid) {
    return tid != 0 ? tid : static_cast<unsigned long>(gettid());
}

}  // namespace

ThreadThrottle::ThreadThrottle(const std::atomic<int>& percentage) : m_percentage(percentage) {}

ThreadThrottle::~ThreadThrottle() {
    stop();
}

void ThreadThrottle::registerThread(unsigned long tid) {
    tid = threadIdOrCaller(tid);
    if (registered(tid))
        return;
    // Opened and allocated before the lock is taken again: a stopped worker
    // may hold the allocator's lock, and the throttle thread needs ours to
    // restart it.
    const auto thread = tid <= INT_MAX ? compat::SuspendableThread::open(static_cast<pid_t>(tid)) : std::nullopt;
    if (!thread)
        throw std::runtime_error("OpenThread failed");
    Table entry;
    entry.emplace(tid, Entry{*thread});
    Table::node_type node = entry.extract(entry.begin());
    Table::node_type replaced;  // the entry of a thread that ended, freed after the lock
    {
        std::lock_guard lock(m_tableLock);
        const auto found = m_table.find(tid);
        if (found != m_table.end() && found->second.thread.alive())
            return;  // a registration that won a race to the same id
        if (found != m_table.end())
            replaced = m_table.extract(found);
        m_table.insert(std::move(node));
    }
}

bool ThreadThrottle::registered(unsigned long tid) {
    std::lock_guard lock(m_tableLock);
    const auto found = m_table.find(tid);
    return found != m_table.end() && found->second.thread.alive();
}

void ThreadThrottle::deregisterThread(unsigned long tid) {
    tid = threadIdOrCaller(tid);
    Table::node_type node;
    {
        std::lock_guard lock(m_tableLock);
        node = m_table.extract(tid);
        if (node && node.mapped().held)
            node.mapped().thread.resume();
    }
}

void ThreadThrottle::start() {
    std::lock_guard control(m_controlLock);
    if (m_running)
        return;
    m_running = true;
    m_sleep.reset();
    try {
        m_thread = std::thread(&ThreadThrottle::run, this);
    } catch (const std::system_error&) {
        m_running = false;
        throw std::runtime_error("error starting thread");
    }
}

void ThreadThrottle::stop() {
    std::lock_guard control(m_controlLock);
    if (!m_running)
        return;
    m_running = false;
    m_sleep.interrupt();
    m_thread.join();
}

bool ThreadThrottle::running() const {
    return m_running;
}

// The body of the throttle thread. It neither allocates nor takes any lock
// but the table's while the workers are stopped.
void ThreadThrottle::run() {
    compat::raiseToTimeCritical();
    using std::chrono::milliseconds;
    while (m_running) {
        const int p = m_percentage.load();
        if (p > 0 && p < 100) {
            suspendAll();
            m_sleep.sleepFor(milliseconds(cycleMs - m_percentage.load()));
            resumeAll();
            m_sleep.sleepFor(milliseconds(m_percentage.load()));
        } else {
            m_sleep.sleepFor(idleCheck);
        }
    }
}

// The requests are sent without waiting for any thread to take them; the
// throttle thread's own entry is passed over.
void ThreadThrottle::suspendAll() {
    std::lock_guard lock(m_tableLock);
    for (auto& [tid, entry] : m_table) {
        entry.held = entry.thread.suspend() >= 0;
        entry.ended = !entry.held && errno == ESRCH;
    }
}

// Entries of ended threads are dropped once every thread runs again: freeing
// them cannot wait for a lock that a held thread has.
void ThreadThrottle::resumeAll() {
    std::lock_guard lock(m_tableLock);
    for (auto& [tid, entry] : m_table)
        if (std::exchange(entry.held, false))
            entry.thread.resume();
    std::erase_if(m_table, [](const auto& item) { return item.second.ended; });
}

}  // namespace ovix
