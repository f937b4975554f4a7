#pragma once
// The server-state poller: on a thread of its own it watches the launcher and
// the main application's server and posts the state to every listener window
// as WM_SERVERSTATE (wParam the state, lParam 0).
//
// Each round (every period): no launcher mutex, 0; the mutex but no 200 from
// the sidebar's page, 1; a 200, 2, and then, while a launcher process runs,
// nothing until it ends, when 0 follows at once. 0 and 1 are posted every
// round; 2 only when the last state posted was not 2, so that a sidebar is
// not sent back to its first page every period. With the check off, 2 is
// posted once and nothing more.
//
// The thread starts with the first listener. Listeners may be added from any
// thread; the list is kept under one lock, held while posting.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "addon/core/server/LauncherControl.h"
#include "compat/ipc/MessageQueue.h"
#include "compat/system/Waitable.h"

namespace ovix {

inline constexpr int SERVER_STATE_NOTSTARTED = 0;
inline constexpr int SERVER_STATE_STARTING = 1;
inline constexpr int SERVER_STATE_STARTED = 2;
inline constexpr std::uint32_t WM_SERVERSTATE = compat::WM_APP;

class ServerState {
public:
    // A copy of what the poller needs of the configuration, taken at start.
    struct Options {
        std::string sidebarUrl;  // the page that is probed
        bool checkOn = false;    // "SidebarCheckOn"
        std::chrono::milliseconds period{5000};
        std::chrono::milliseconds probeLimit{3000};
        std::string launcherProgram{kLauncherProgram};
    };

    explicit ServerState(Options options);
    // Stops the thread (a probe under way runs to its limit) and joins it.
    virtual ~ServerState();
    ServerState(const ServerState&) = delete;
    ServerState& operator=(const ServerState&) = delete;

    // Forgets the windows that are gone, then appends `window` (again when it
    // is listed already). The first call starts the thread.
    void AddListener(compat::WindowHandle window);
    // Posts the state to every listed window, in order; failures are ignored.
    void Broadcast(int state);
    // Whether the sidebar's page answers 200 within the probe limit.
    bool ProbeServer() const;

    // The windows listed now, in order.
    std::vector<compat::WindowHandle> Listeners() const;

private:
    static int PollThread(ServerState* self);
    void Poll();
    // Waits for the period; false when the poller is stopping.
    bool restFor(std::chrono::milliseconds time) const;

    const Options m_options;
    compat::WaitableEvent m_stop;
    mutable std::mutex m_lock;
    std::vector<compat::WindowHandle> m_listeners;
    std::thread m_thread;
};

}  // namespace ovix
