#include "launcher/TrayLauncherParts.h"

#include <future>
#include <system_error>

#include "launcher/AppRunner.h"
#include "launcher/MonitorThread.h"
#include "launcher/OpenUrl.h"
#include "launcher/TrayCommands.h"

namespace ovix {

TrayLauncherParts::TrayLauncherParts(compat::AppLocalServerFactory createServer, Watchdog::MemorySource memory)
    : m_createServer(std::move(createServer)), m_memory(std::move(memory)) {}

TrayLauncherParts::~TrayLauncherParts() {
    waitForThreads();
}

bool TrayLauncherParts::setUpInstance(LauncherState& state) {
    // COM mode when the application's local server can be created.
    state.comMode = m_createServer() != nullptr;
    m_application = std::make_unique<ApplicationProcess>(state.app);
    m_watchdog = std::make_unique<Watchdog>(state.app, *m_application, m_memory);
    m_window = TrayWindow::create(state, *m_application, m_createServer);
    return m_window != nullptr;
}

bool TrayLauncherParts::addTrayIcon(LauncherState&) {
    return m_window->addIcon();
}

bool TrayLauncherParts::startMonitor(LauncherState& state) {
    std::promise<bool> ready;
    auto started = ready.get_future();
    try {
        // Before any other thread starts, so that all of them leave the
        // signals to this one: a request to end runs Exit on the main thread.
        m_signals.emplace(
            [&state](int) { compat::PostThreadMessage(state.mainThreadId, compat::WM_COMMAND, IDM_EXIT, 0); });
        m_monitor = std::thread([this, &state, &ready] {
            const bool hasQueue = compat::ensureMessageQueue();
            state.monitorThreadId = compat::currentThreadId();
            ready.set_value(hasQueue);
            if (hasQueue) {
                const MonitorContext context{state, *m_application, *m_watchdog, m_createServer,
                                             [this, &state] { return startRunner(state); }};
                MonitorThreadProc(context);
            }
            m_monitorEnded.set();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return started.get();
}

bool TrayLauncherParts::startRunner(LauncherState& state) {
    try {
        m_runner = std::thread([this, &state, monitor = compat::currentThreadId()] {
            AppRunnerThreadProc(RunnerContext{state, *m_application, monitor, m_monitorEnded});
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TrayLauncherParts::waitForThreads() {
    if (m_monitor.joinable())
        m_monitor.join();
    // Started by the monitor, which has ended: nothing starts it any more.
    if (m_runner.joinable())
        m_runner.join();
    // On the main thread, which made it.
    m_signals.reset();
}

void TrayLauncherParts::removeTrayIcon() {
    if (m_window)
        m_window->removeIcon();
}

void TrayLauncherParts::destroyMenus() {
    if (m_window)
        m_window->destroyMenus();
}

int TrayLauncherParts::openUrl(const std::string& url) {
    return OpenUrl(url);
}

bool TrayLauncherParts::isApplicationProcess(std::uint32_t sender) {
    return m_application && m_application->isSender(sender);
}

}  // namespace ovix
