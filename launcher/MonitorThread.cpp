#include "launcher/MonitorThread.h"

#include "compat/ipc/MessageWindow.h"
#include "launcher/LauncherLog.h"
#include "launcher/ThreadMessageDecoder.h"

namespace ovix {

namespace {

// The application thread that the local server names; 0 when it cannot be
// asked.
std::uint32_t applicationThreadOfServer(const compat::AppLocalServerFactory& createServer) {
    std::uint32_t thread = 0;
    if (auto server = createServer(); server && server->GetMainThreadId(&thread) == compat::S_OK)
        return thread;
    return 0;
}

// Relays until WM_QUIT; gives its exit code.
std::uintptr_t relayUntilQuit(const MonitorContext& context) {
    const unsigned timer = compat::SetTimer(0, 0, static_cast<unsigned>(context.state.periods.watchdog.count()));
    compat::Message message;
    int got;
    while ((got = compat::GetMessage(message)) > 0) {
        if (message.window != 0) {
            compat::DispatchMessage(message);
            continue;
        }
        const Relay relay = decodeMonitorThreadMessage(message);
        if (relay.to == Relay::To::Watchdog)
            context.watchdog.tick();
        else if (relay.to == Relay::To::MainWindow)
            compat::PostMessage(context.state.mainWindow, relay.message, relay.wParam, relay.lParam);
    }
    if (timer != 0)
        compat::KillTimer(0, timer);
    return got == 0 ? message.wParam : 0;
}

}  // namespace

void MonitorThreadProc(const MonitorContext& context) {
    LauncherState& state = context.state;
    bool running = true;
    std::uintptr_t exitCode = 0;
    if (state.comMode) {
        const auto thread = applicationThreadOfServer(context.createServer);
        state.app.threadId = thread;
        context.application.expectOwnerOf(thread);
    } else {
        running = context.startRunner();
    }
    if (running) {
        exitCode = relayUntilQuit(context);
    } else {
        launcherLog().write("cannot start: no runner thread\n");
        exitCode = kCannotStartExitCode;
    }
    compat::PostThreadMessage(state.mainThreadId, compat::WM_QUIT, exitCode, 0);
}

}  // namespace ovix
