#include "launcher/ExitSequence.h"

#include <cerrno>

#include "compat/system/DeleteEntries.h"
#include "compat/system/SystemError.h"
#include "compat/system/XdgFolders.h"
#include "launcher/LauncherLog.h"
#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

void stopMonitorAndApplication(LauncherState& state, const compat::AppLocalServerFactory& createServer) {
    state.stopRequested.set();
    compat::PostThreadMessage(state.monitorThreadId, compat::WM_QUIT, 0, 0);
    if (!state.comMode) {
        compat::PostThreadMessage(state.app.threadId, compat::WM_USER, PLATFORM_TMSG_QUIT, 0);
        return;
    }
    if (auto server = createServer())
        server->Quit();
}

void endApplication(const LauncherState& state, ApplicationProcess& application) {
    // An application that obeyed quit at once may be gone, and forgotten by
    // the runner, before we get here: there is nothing left to end.
    if (state.app.processId == 0 && !application.endedAfterReporting()) {
        launcherLog().write("no process to kill\n");
        return;
    }
    const auto process = application.handle();
    if (!process)
        return;
    if (compat::waitForAny({process.get()}, state.periods.quitGrace))
        return;
    if (process->terminate())
        return;
    const int error = errno;
    // A process that ended meanwhile needed no ending.
    if (compat::waitForAny({process.get()}, std::chrono::milliseconds(0)))
        return;
    launcherLog().write("killing proc %d handle %p failed with err=%d,%s\n", process->pid(),
                        reinterpret_cast<const void*>(static_cast<std::uintptr_t>(process->waitDescriptor())), error,
                        compat::systemErrorText(error).c_str());
}

void deleteTemporaryEntries() {
    compat::deleteOwnEntriesWithPrefix(compat::temporaryFolder(), kTemporaryEntryPrefix);
}

}  // namespace ovix
