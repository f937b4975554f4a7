#include "addon/core/server/ServerState.h"

#include <algorithm>
#include <memory>

#include "addon/core/server/AddonThreads.h"
#include "addon/core/server/ServerProbe.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/ipc/NamedMutex.h"

namespace ovix {

ServerState::ServerState(Options options) : m_options(std::move(options)) {}

ServerState::~ServerState() {
    m_stop.set();
    if (m_thread.joinable())
        m_thread.join();
}

void ServerState::AddListener(compat::WindowHandle window) {
    std::lock_guard lock(m_lock);
    std::erase_if(m_listeners, [](compat::WindowHandle listed) { return !compat::IsWindow(listed); });
    m_listeners.push_back(window);
    if (!m_thread.joinable())
        m_thread = StartThread(std::make_unique<Thread1<int (*)(ServerState*), ServerState*>>(&PollThread, this));
}

void ServerState::Broadcast(int state) {
    std::lock_guard lock(m_lock);
    for (const auto window : m_listeners)
        compat::PostMessage(window, WM_SERVERSTATE, static_cast<std::uintptr_t>(state), 0);
}

bool ServerState::ProbeServer() const {
    return ovix::ProbeServer(m_options.sidebarUrl, m_options.probeLimit);
}

std::vector<compat::WindowHandle> ServerState::Listeners() const {
    std::lock_guard lock(m_lock);
    return m_listeners;
}

int ServerState::PollThread(ServerState* self) {
    self->Poll();
    return 0;
}

bool ServerState::restFor(std::chrono::milliseconds time) const {
    return !compat::waitForAny({&m_stop}, time);
}

void ServerState::Poll() {
    if (!m_options.checkOn) {
        Broadcast(SERVER_STATE_STARTED);
        return;
    }
    int posted = -1;
    do {
        int state = SERVER_STATE_NOTSTARTED;
        if (compat::NamedMutex::isHeld(kLauncherMutex)) {
            state = SERVER_STATE_STARTING;
            if (ProbeServer()) {
                state = SERVER_STATE_STARTED;
                if (posted != SERVER_STATE_STARTED)
                    Broadcast(posted = SERVER_STATE_STARTED);
                if (auto launcher = FindLauncherProcess(m_options.launcherProgram)) {
                    if (compat::waitForAny({&*launcher, &m_stop}) == 1u)
                        return;
                    state = SERVER_STATE_NOTSTARTED;
                }
            }
        }
        if (state != SERVER_STATE_STARTED)
            Broadcast(posted = state);
    } while (restFor(m_options.period));
}

}  // namespace ovix
