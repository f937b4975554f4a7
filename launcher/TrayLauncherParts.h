#pragma once
// The launcher's tray window and the threads that keep the main application
// running, as start-up drives them: the hidden main window with its icon and
// menu, the monitor thread with its watchdog, the application runner, and the
// termination signals, which run Exit.

#include <memory>
#include <optional>
#include <thread>

#include "compat/system/TerminationSignals.h"
#include "compat/system/Waitable.h"
#include "launcher/AppLocalServer.h"
#include "launcher/ApplicationProcess.h"
#include "launcher/LauncherParts.h"
#include "launcher/TrayWindow.h"
#include "launcher/Watchdog.h"

namespace ovix {

class TrayLauncherParts : public LauncherParts {
public:
    // `createServer` makes the application's local server (none on this
    // platform); `memory` is the watchdog's source (the process's own figure
    // without one).
    explicit TrayLauncherParts(compat::AppLocalServerFactory createServer = compat::createAppLocalServer,
                               Watchdog::MemorySource memory = {});
    ~TrayLauncherParts() override;

    bool setUpInstance(LauncherState& state) override;
    bool addTrayIcon(LauncherState& state) override;
    bool startMonitor(LauncherState& state) override;
    void waitForThreads() override;
    void removeTrayIcon() override;
    void destroyMenus() override;
    int openUrl(const std::string& url) override;
    bool isApplicationProcess(std::uint32_t sender) override;

    // The tray window, once the instance is set up.
    TrayWindow* trayWindow() const { return m_window.get(); }

private:
    bool startRunner(LauncherState& state);

    compat::AppLocalServerFactory m_createServer;
    Watchdog::MemorySource m_memory;
    std::unique_ptr<ApplicationProcess> m_application;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<TrayWindow> m_window;
    std::optional<compat::TerminationSignals> m_signals;
    compat::WaitableEvent m_monitorEnded;
    std::thread m_monitor;
    std::thread m_runner;
};

}  // namespace ovix
