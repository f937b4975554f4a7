#include "launcher/MorvaneLaunch.h"

#include <unistd.h>

#include "compat/ipc/MessageWindow.h"
#include "compat/ipc/NamedMutex.h"
#include "launcher/Autostart.h"
#include "launcher/CommandLine.h"
#include "launcher/LauncherLog.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/SecondInstance.h"
#include "launcher/ThreadMessageDecoder.h"

namespace ovix {

namespace {

void deleteLauncherValues() {
    if (auto key = openLauncherKey()) {
        key->remove(kThreadIdValue);
        key->remove(kReadyValue);
    }
}

// Runs until WM_QUIT and gives its code.
int messageLoop(LauncherState& state, LauncherParts& parts) {
    const ApplicationSender isApplication = [&](std::uint32_t sender) { return parts.isApplicationProcess(sender); };
    compat::Message message;
    int got;
    while ((got = compat::GetMessage(message)) > 0) {
        if (message.window != 0) {
            compat::DispatchMessage(message);
            continue;
        }
        const Relay relay = decodeMainThreadMessage(message, state.app, isApplication);
        if (relay.to == Relay::To::Application)
            compat::PostThreadMessage(state.app.threadId, relay.message, relay.wParam, relay.lParam);
        else if (relay.to == Relay::To::MainWindow)
            compat::PostMessage(state.mainWindow, relay.message, relay.wParam, relay.lParam);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}

}  // namespace

int runMorvaneLaunch(std::string_view argumentText, LauncherState& state, LauncherParts& parts) {
    const CommandLine line = parseCommandLine(argumentText);
    switch (line.command) {
        case LaunchCommand::RegServer:
            SetAutostart(0, state.launcherPath);
            return 1;
        case LaunchCommand::UnregServer:
            SetAutostart(kAutostartSet, state.launcherPath);
            return 1;
        case LaunchCommand::Quit:
            state.quit = true;
            break;
        case LaunchCommand::Start:
            state.startUrl = line.startUrl;
            break;
    }
    state.mainThreadId = compat::currentThreadId();

    if (!parts.setUpInstance(state))
        return 0;
    // When its folder cannot be entered the launcher runs on where it was
    // started, and so does its log.
    [[maybe_unused]] const int entered = chdir(state.launcherPath.parent_path().c_str());
    if (line.refusedBytes > 0)
        launcherLog().write("start URL of %zu bytes refused: the limit is %zu bytes\n", line.refusedBytes,
                            kStartUrlCapacity);

    compat::NamedMutex mutex(kSingleInstanceMutex);
    if (mutex.state() == compat::NamedMutex::State::HeldElsewhere)
        return runSecondInstance(state, parts);
    if (mutex.state() != compat::NamedMutex::State::Owned || state.quit)
        return 0;
    // Values left by a launcher that died: its "Ready" would let a second
    // instance open its URL before this launcher's application has reported,
    // and its "ThreadId" would send a second instance's "/quit" to a thread
    // that is not this launcher's.
    deleteLauncherValues();

    // Nothing to enable for watching the application: a process may read and
    // end the processes of its own user.

    state.autostartBits = readAutostartBits(state.launcherPath);

    if (!parts.addTrayIcon(state)) {
        parts.destroyMenus();
        deleteLauncherValues();
        return 0;
    }

    // The queue exists before its id is published, so no post to it fails.
    compat::ensureMessageQueue();
    if (auto key = compat::RegistryKey::create(compat::RegistryHive::CurrentUser, kLauncherKeyPath))
        key->setDword(kThreadIdValue, state.mainThreadId);

    const int exitCode = parts.startMonitor(state) ? messageLoop(state, parts) : 0;

    parts.waitForThreads();
    parts.removeTrayIcon();
    parts.destroyMenus();
    deleteLauncherValues();
    return exitCode;
}

}  // namespace ovix
