#pragma once
// The application runner: starts the main application "Morvane.exe" from the
// launcher's folder, tells it the launcher's ids, and starts it again each
// time it ends, up to 4 times in a row without a status report between two
// starts. Runs on a thread of its own, started by the monitor thread.
// The application leads a process group of its own, which ends whole each
// time the application ends, and the kernel ends it when the runner's thread
// ends: so when the launcher dies, however it dies.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "compat/ipc/MessageQueue.h"
#include "compat/system/Waitable.h"
#include "launcher/ApplicationProcess.h"
#include "launcher/LauncherState.h"

namespace ovix {

inline constexpr const char* kApplicationProgram = "Morvane.exe";
inline constexpr const char* kConfigFile = "vantile.config";
// Starts in a row without a status report, after which the launcher ends.
inline constexpr unsigned kStartsWithoutReport = 4;
// How long a new application has to make its message queue.
inline constexpr std::chrono::milliseconds kReadyWait{10000};

// The longest "ConfigUrl=" value passed on: what a command line of 2048 bytes
// holds after "Morvane.exe -c ". A longer value is refused whole, never cut.
inline constexpr std::size_t kConfigUrlCapacity = 2032;

// The application's arguments: "-c" and the value of the first "ConfigUrl="
// line of "vantile.config" in `folder` (no value when it is empty), or none
// when there is no such line or its value is refused (logged) for its length.
std::vector<std::string> applicationArguments(const std::filesystem::path& folder);

// The launcher's environment with "ParentProcessId" and "ParentThreadId" set
// to its process id and main thread id.
std::vector<std::string> applicationEnvironment(compat::ThreadId mainThread);

struct RunnerContext {
    LauncherState& state;
    ApplicationProcess& application;
    compat::ThreadId monitorThread;
    const compat::WaitableEvent& monitorEnded;
};

// Runs until the application has ended for the last time: after its 4th end
// in a row without a report (then the monitor is told to quit), after a
// failed start (logged; the monitor is told to quit with
// kCannotStartExitCode), or at shutdown, once the monitor was told to stop or
// has ended (then the main window is told to close). At shutdown the
// application has the quit grace of state.periods to end before it is ended.
// Returns once the monitor has ended.
void AppRunnerThreadProc(const RunnerContext& context);

}  // namespace ovix
