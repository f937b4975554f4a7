#pragma once
// The parts of the launcher that start-up drives but does not hold: the tray
// window with its icon, menu and commands, and the threads that keep the main
// application running. Start-up calls them on the main thread, in this order.

#include <cstdint>
#include <string>

#include "launcher/LauncherState.h"

namespace ovix {

class LauncherParts {
public:
    virtual ~LauncherParts() = default;

    // Decides COM mode and makes the hidden main window (state.mainWindow)
    // and the tray menu. False ends start-up.
    virtual bool setUpInstance(LauncherState& state) = 0;
    // Adds the tray icon in its starting state; false when it is refused.
    virtual bool addTrayIcon(LauncherState& state) = 0;
    // Starts the monitor thread, whose end posts WM_QUIT to the main thread.
    virtual bool startMonitor(LauncherState& state) = 0;
    // Waits until the monitor and runner threads have both ended.
    virtual void waitForThreads() = 0;
    virtual void removeTrayIcon() = 0;
    virtual void destroyMenus() = 0;
    // Opens `url` in the default browser; the shell's result (above 32 on
    // success).
    virtual int openUrl(const std::string& url) = 0;
    // Whether messages from process `sender` may report the main
    // application's ids: only the application itself may.
    virtual bool isApplicationProcess(std::uint32_t sender) = 0;
};

}  // namespace ovix
