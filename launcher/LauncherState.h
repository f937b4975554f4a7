#pragma once
// The launcher's process-wide state: set up by start-up on the main thread,
// read by the tray window and the application threads. Values that several
// threads write are atomic.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "compat/ipc/MessageQueue.h"
#include "compat/system/Waitable.h"
#include "launcher/AppIds.h"
#include "launcher/LauncherPeriods.h"

namespace ovix {

// The launcher's exit code when it cannot start: its runtime folder refused,
// its lock unavailable, the application not startable. The reason is logged.
inline constexpr int kCannotStartExitCode = 2;

struct LauncherState {
    std::filesystem::path launcherPath;  // the launcher's own program file
    LauncherPeriods periods;             // its waits, standard unless a test set them
    std::string startUrl;                // empty when none was given
    bool quit = false;                   // "/quit" was given
    bool urlOpened = false;              // the start URL has been opened (main thread)
    unsigned autostartBits = 0;          // kAutostartSet, kAutostartCurrentUser (main thread)
    compat::ThreadId mainThreadId = 0;
    compat::WindowHandle mainWindow = 0;               // made by the instance set-up
    std::atomic<compat::ThreadId> monitorThreadId{0};  // once it has its queue
    // Set before the monitor thread is told to quit for shutdown: from then
    // on the application is not started again.
    compat::WaitableEvent stopRequested;
    bool comMode = false;  // decided by the instance set-up
    AppIds app;
    std::atomic<std::uint32_t> restartCount{0};  // application exits since the last status report
};

}  // namespace ovix
