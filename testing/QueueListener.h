#pragma once
// A thread with a message queue that keeps the thread messages posted to it,
// for tests of what a sender puts on the wire. It stops at a WM_QUIT (kept
// too), after `count` messages or when `limit` has passed; one that still runs
// at the end is sent a WM_QUIT.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <future>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "compat/ipc/MessageQueue.h"

namespace ovix::testing {

class QueueListener {
public:
    // Starts the thread and waits until its queue takes posts.
    explicit QueueListener(std::size_t count = std::numeric_limits<std::size_t>::max(),
                           std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::promise<compat::ThreadId> ready;
        m_thread = std::thread([this, count, limit, &ready] {
            compat::ensureMessageQueue();
            const unsigned deadline = compat::SetTimer(0, 0, static_cast<unsigned>(limit.count()));
            ready.set_value(compat::currentThreadId());
            compat::Message message;
            for (std::size_t kept = 0; kept < count && compat::GetMessage(message) >= 0; ++kept) {
                if (message.message == compat::WM_TIMER && message.wParam == deadline)
                    break;
                std::lock_guard lock(m_lock);
                m_received.push_back(message);
                if (message.message == compat::WM_QUIT)
                    break;
            }
            m_done = true;
        });
        m_id = ready.get_future().get();
    }
    ~QueueListener() {
        if (!m_thread.joinable())
            return;
        if (!m_done)
            compat::PostThreadMessage(m_id, compat::WM_QUIT, 0, 0);
        m_thread.join();
    }

    compat::ThreadId id() const { return m_id; }
    // What arrived; waits for the thread to stop collecting.
    std::vector<compat::Message> received() {
        m_thread.join();
        return m_received;
    }
    // What arrived so far, while the thread goes on.
    std::vector<compat::Message> receivedSoFar() {
        std::lock_guard lock(m_lock);
        return m_received;
    }

private:
    std::thread m_thread;
    compat::ThreadId m_id = 0;
    std::atomic<bool> m_done{false};
    std::mutex m_lock;
    std::vector<compat::Message> m_received;
};

}  // namespace ovix::testing
