#pragma once
// The steps of the launcher's Exit, in the order Exit runs them.

#include "launcher/AppLocalServer.h"
#include "launcher/ApplicationProcess.h"
#include "launcher/LauncherState.h"

namespace ovix {

// The entries of the user's temporary folder that Exit deletes.
inline constexpr const char* kTemporaryEntryPrefix = "winy";

// Tells the monitor thread to quit (state.stopRequested first), and the
// application to stop: through its local server in COM mode, else by its quit
// message.
void stopMonitorAndApplication(LauncherState& state, const compat::AppLocalServerFactory& createServer);

// Gives an application that has reported its process id the quit grace of
// state.periods to end, then ends it. Logs "no process to kill" when it never
// reported it, and what failed otherwise.
void endApplication(const LauncherState& state, ApplicationProcess& application);

// Deletes the "winy*" entries of the user's temporary folder that belong to
// the user, without following links.
void deleteTemporaryEntries();

}  // namespace ovix
