#pragma once
// A thread with a message queue that collects the thread messages posted to
// it, for tests of what a sender puts on the wire.

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "compat/ipc/MessageQueue.h"

namespace ovix::testing {

class QueueListener {
public:
    // Starts the thread and waits until its queue takes posts. It collects
    // `count` messages, or what came within `limit`.
    explicit QueueListener(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
        auto id = m_ready.get_future();
        m_thread = std::thread([this, count, limit] {
            compat::ensureMessageQueue();
            const unsigned deadline = compat::SetTimer(0, 0, static_cast<unsigned>(limit.count()));
            m_ready.set_value(compat::currentThreadId());
            std::vector<compat::Message> messages;
            compat::Message message;
            while (messages.size() < count && compat::GetMessage(message) >= 0) {
                if (message.message == compat::WM_TIMER && message.wParam == deadline)
                    break;
                messages.push_back(message);
            }
            m_received.set_value(messages);
        });
        m_id = id.get();
    }
    ~QueueListener() {
        if (m_thread.joinable())
            m_thread.join();
    }

    compat::ThreadId id() const { return m_id; }
    // What arrived; waits for the thread to finish collecting.
    std::vector<compat::Message> received() {
        auto messages = m_received.get_future().get();
        m_thread.join();
        return messages;
    }

private:
    std::promise<compat::ThreadId> m_ready;
    std::thread m_thread;
    compat::ThreadId m_id = 0;
    std::promise<std::vector<compat::Message>> m_received;
};

}  // namespace ovix::testing
