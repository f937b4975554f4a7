#pragma once
// What a launcher does when another instance holds the single-instance mutex.

#include "launcher/LauncherParts.h"
#include "launcher/LauncherState.h"

namespace ovix {

// With "/quit": asks the running instance to exit (its Exit command, posted
// to its main thread up to 10 times, the quit retry of state.periods apart)
// and gives 0 once its "ThreadId" is gone, 1 when it stays or cannot be read.
// Otherwise opens the start URL when there is one and the running instance is
// "Ready"; gives 0.
int runSecondInstance(LauncherState& state, LauncherParts& parts);

}  // namespace ovix
