#pragma once
// Test support: a user-interface thread that runs a message loop
// (GetMessage, TranslateMessage, DispatchMessage) and owns the windows made
// in its run calls, and a log of the messages that windows receive.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "compat/browser/Keyboard.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"

namespace compat::testing {

class UiThread {
public:
    UiThread() {
        std::promise<WindowHandle> ready;
        m_thread = std::thread([&ready] {
            ready.set_value(CreateWindowEx(0, "Anchor", "", WS_POPUP, 0, 0, 0, 0, 0, 0));
            Message message;
            while (GetMessage(message) > 0) {
                TranslateMessage(message);
                DispatchMessage(message);
            }
        });
        m_anchor = ready.get_future().get();
        if (m_anchor == 0)
            ADD_FAILURE() << "no window for the UI thread (runtime folder?)";
    }
    ~UiThread() {
        run([] { PostQuitMessage(0); });
        m_thread.join();
    }
    // Runs `task` on the thread and waits.
    void run(const std::function<void()>& task) {
        if (!runOnWindowThread(m_anchor, task))
            ADD_FAILURE() << "the UI thread ran nothing";
    }
    ThreadId id() const { return *windowThread(m_anchor); }

private:
    WindowHandle m_anchor = 0;
    std::thread m_thread;
};

struct Seen {
    WindowHandle window;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    ThreadId thread;
};

// Keeps each message of the windows whose procedure it makes, then passes it
// to DefWindowProc.
class MessageLog {
public:
    WindowProcedure procedure() {
        return [this](WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            {
                std::lock_guard lock(m_mutex);
                m_seen.push_back(Seen{window, message, wParam, lParam, currentThreadId()});
            }
            return DefWindowProc(window, message, wParam, lParam);
        };
    }
    // The messages among `kinds` that `window` received, in order.
    std::vector<Seen> of(WindowHandle window, const std::vector<std::uint32_t>& kinds) const {
        auto found = all(kinds);
        std::erase_if(found, [window](const Seen& seen) { return seen.window != window; });
        return found;
    }
    // The messages among `kinds`, of any window.
    std::vector<Seen> all(const std::vector<std::uint32_t>& kinds) const {
        std::lock_guard lock(m_mutex);
        std::vector<Seen> found;
        for (const auto& seen : m_seen) {
            if (std::find(kinds.begin(), kinds.end(), seen.message) != kinds.end())
                found.push_back(seen);
        }
        return found;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_seen.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
};

}  // namespace compat::testing
