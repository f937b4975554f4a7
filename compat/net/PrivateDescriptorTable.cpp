#include "compat/net/PrivateDescriptorTable.h"

#include <linux/close_range.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace compat {

namespace {

// The thread that owns the table and starts the threads that share it.
class Starter {
public:
    Starter() : m_thread([this] { serve(); }) {}
    ~Starter() {
        {
            std::lock_guard lock(m_lock);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Starter(const Starter&) = delete;
    Starter& operator=(const Starter&) = delete;

    // A thread of the table running `work`; none when it cannot be had. A
    // child forked from this process has no starter thread: it gets none.
    std::optional<std::thread> start(const std::function<void()>& work) {
        if (getpid() != m_process)
            return std::nullopt;
        Order order{work};
        std::unique_lock lock(m_lock);
        m_orders.push_back(&order);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return order.served; });
        return std::move(order.thread);
    }

private:
    struct Order {
        const std::function<void()>& work;
        std::optional<std::thread> thread{};
        bool served = false;
    };

    void serve() {
        const bool tableOwn = close_range(3, ~0U, CLOSE_RANGE_UNSHARE) == 0;
        std::unique_lock lock(m_lock);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stopping || !m_orders.empty(); });
            if (m_stopping && m_orders.empty())
                return;
            Order& order = *m_orders.front();
            m_orders.pop_front();
            if (tableOwn) {
                try {
                    order.thread.emplace(order.work);
                } catch (const std::system_error&) {
                    // no thread left: the order goes unserved
                }
            }
            order.served = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_changed;  // an order came, or was served, or the starter stops
    std::deque<Order*> m_orders;
    bool m_stopping = false;
    const pid_t m_process = getpid();
    std::thread m_thread;  // last: it starts serving the members above
};

}  // namespace

bool runInPrivateDescriptorTable(const std::function<void()>& work) {
    std::optional<std::thread> thread;
    try {
        static Starter starter;
        thread = starter.start(work);
    } catch (const std::system_error&) {
        return false;  // no starter thread
    }
    if (!thread)
        return false;
    thread->join();
    return true;
}

}  // namespace compat
