#pragma once
// What a test's bus peer has seen, kept in order, that the test waits on:
// each new entry wakes the waiters.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace ovix::testing {

template <typename Entry>
class BusRecord {
public:
    void add(Entry entry) {
        {
            std::lock_guard lock(m_lock);
            m_entries.push_back(std::move(entry));
        }
        m_added.notify_all();
    }

    std::vector<Entry> entries() const {
        std::lock_guard lock(m_lock);
        return m_entries;
    }

    // Waits until `holds` is true of the entries, for at most `limit`;
    // whether it is.
    bool waitFor(const std::function<bool(const std::vector<Entry>&)>& holds,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        std::unique_lock lock(m_lock);
        return m_added.wait_for(lock, limit, [&] { return holds(m_entries); });
    }

    // Waits until there are at least `count` entries; whether there are.
    bool waitForCount(std::size_t count) const {
        return waitFor([count](const std::vector<Entry>& entries) { return entries.size() >= count; });
    }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_added;
    std::vector<Entry> m_entries;
};

}  // namespace ovix::testing
