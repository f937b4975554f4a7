#pragma once
// The launcher's main thread from start to exit: the command line, the
// single-instance rule, autostart, the registry values that tell other
// processes about it, the thread-message loop and the shutdown.

#include <string_view>

#include "launcher/LauncherParts.h"
#include "launcher/LauncherState.h"

namespace ovix {

// Name of the single-instance mutex, which other components open too.
inline constexpr const char* kSingleInstanceMutex = "DastelIconSI";

// Runs the launcher with the whole argument text; `state.launcherPath` must
// name the launcher's program file. Returns the process exit code:
// kCannotStartExitCode, with the reason logged, when it cannot start.
int runMorvaneLaunch(std::string_view argumentText, LauncherState& state, LauncherParts& parts);

}  // namespace ovix
