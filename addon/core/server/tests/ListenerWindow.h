#pragma once
// A listener window for the poller's tests: a message window on a thread of
// its own that pumps its queue and keeps each server state posted to it,
// with the time it came.

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "addon/core/server/ServerState.h"
#include "compat/ipc/MessageWindow.h"

namespace ovix::testing {

class ListenerWindow {
public:
    using Clock = std::chrono::steady_clock;
    struct Arrival {
        int state;
        Clock::time_point time;
    };

    ListenerWindow() {
        std::promise<compat::WindowHandle> made;
        m_thread = std::thread([this, &made] {
            m_threadId = compat::currentThreadId();
            made.set_value(compat::CreateMessageWindow([this](compat::WindowHandle window, std::uint32_t message,
                                                              std::uintptr_t wParam, std::intptr_t lParam) {
                if (message == WM_SERVERSTATE && lParam == 0) {
                    std::lock_guard lock(m_lock);
                    m_arrivals.push_back({static_cast<int>(wParam), Clock::now()});
                    m_arrived.notify_all();
                }
                return compat::DefWindowProc(window, message, wParam, lParam);
            }));
            compat::Message message;
            while (compat::GetMessage(message) > 0)
                compat::DispatchMessage(message);
        });
        m_window = made.get_future().get();
    }
    ~ListenerWindow() {
        compat::PostThreadMessage(m_threadId, compat::WM_QUIT, 0, 0);
        m_thread.join();
    }

    compat::WindowHandle handle() const { return m_window; }
    // Closes the window, as a sidebar that goes away does.
    void close() {
        compat::PostMessage(m_window, compat::WM_CLOSE, 0, 0);
    }

    std::vector<Arrival> arrivals() {
        std::lock_guard lock(m_lock);
        return m_arrivals;
    }
    std::vector<int> states() {
        std::vector<int> result;
        for (const auto& arrival : arrivals())
            result.push_back(arrival.state);
        return result;
    }
    // Waits until `count` states have come; false after `limit`.
    bool waitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(m_lock);
        return m_arrived.wait_for(lock, limit, [&] { return m_arrivals.size() >= count; });
    }

private:
    std::thread m_thread;
    compat::ThreadId m_threadId = 0;
    compat::WindowHandle m_window = 0;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<Arrival> m_arrivals;
};

}  // namespace ovix::testing
