#include "launcher/MorvaneLaunch.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "compat/ipc/MessageWindow.h"
#include "compat/ipc/NamedMutex.h"
#include "compat/system/SystemError.h"
#include "compat/system/XdgFolders.h"
#include "launcher/ApplicationGroupRecord.h"
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

// Logs why the launcher cannot start, with the system's text for `error`
// when there is one.
int cannotStart(const std::string& what, int error) {
    if (error != 0)
        launcherLog().write("cannot start: %s: %s\n", what.c_str(), compat::systemErrorText(error).c_str());
    else
        launcherLog().write("cannot start: %s\n", what.c_str());
    return kCannotStartExitCode;
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

    // When its folder cannot be entered the launcher runs on where it was
    // started, and so does its log.
    [[maybe_unused]] const int entered = chdir(state.launcherPath.parent_path().c_str());
    logRegistryRepairs();
    // Its queues and its lock live there: another user's folder, or a link,
    // would let another user read or block them.
    if (!compat::ensureRuntimeFolder()) {
        const int error = errno;
        return cannotStart("runtime folder \"" + compat::runtimeFolder().string() + "\" refused", error);
    }
    if (!parts.setUpInstance(state))
        return cannotStart("instance set-up failed", errno);
    if (line.refusedBytes > 0)
        launcherLog().write("start URL of %zu bytes refused: the limit is %zu bytes\n", line.refusedBytes,
                            kStartUrlCapacity);

    compat::NamedMutex mutex(kSingleInstanceMutex);
    if (mutex.state() == compat::NamedMutex::State::HeldElsewhere)
        return runSecondInstance(state, parts);
    if (mutex.state() != compat::NamedMutex::State::Owned) {
        const int error = errno;
        return cannotStart(std::string("single-instance lock \"") + kSingleInstanceMutex + "\" unavailable", error);
    }
    if (state.quit)
        return 0;
    // Values left by a launcher that died: its "Ready" would let a second
    // instance open its URL before this launcher's application has reported,
    // and its "ThreadId" would send a second instance's "/quit" to a thread
    // that is not this launcher's.
    deleteLauncherValues();
    endApplicationGroupLeftBehind();

    // Nothing to enable for watching the application: a process may read and
    // end the processes of its own user.

    state.autostartBits = readAutostartBits(state.launcherPath);

    if (!parts.addTrayIcon(state)) {
        parts.destroyMenus();
        deleteLauncherValues();
        return cannotStart("tray icon refused", 0);
    }

    // The queue exists before its id is published, so no post to it fails.
    compat::ensureMessageQueue();
    writeLauncherValue(compat::RegistryKey::create(compat::RegistryHive::CurrentUser, kLauncherKeyPath), kThreadIdValue,
                       state.mainThreadId);

    const int exitCode = parts.startMonitor(state) ? messageLoop(state, parts) : cannotStart("no monitor thread", 0);

    parts.waitForThreads();
    parts.removeTrayIcon();
    parts.destroyMenus();
    deleteLauncherValues();
    return exitCode;
}

}  // namespace ovix
