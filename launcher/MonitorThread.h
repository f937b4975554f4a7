#pragma once
// The monitor thread: it starts the application runner (or, in COM mode,
// asks the application's local server for its thread), runs the memory
// watchdog every watchdog period (10 seconds) and relays thread messages to
// the main window. It ends on WM_QUIT, and its end ends the main thread's
// loop.

#include <functional>

#include "launcher/AppLocalServer.h"
#include "launcher/ApplicationProcess.h"
#include "launcher/LauncherState.h"
#include "launcher/Watchdog.h"

namespace ovix {

struct MonitorContext {
    LauncherState& state;
    ApplicationProcess& application;
    Watchdog& watchdog;
    const compat::AppLocalServerFactory& createServer;
    // Starts the runner thread; false when it cannot be started.
    std::function<bool()> startRunner;
};

// Runs on the monitor thread, which has its message queue already; posts
// WM_QUIT to the main thread when it ends, with the exit code of the WM_QUIT
// that ended it (kCannotStartExitCode, logged, when the runner could not be
// started).
void MonitorThreadProc(const MonitorContext& context);

}  // namespace ovix
