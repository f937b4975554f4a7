#pragma once
// The record of the running application's process group, in the runtime
// folder: the group's id and the environment entry that marks what this
// launcher started. The kernel ends the application when its launcher dies,
// but not what the application started; a launcher that died leaves its
// record behind, and the next one ends those processes, so that no two
// applications run. Written by the runner, read by the first instance at
// start-up, while it holds the single-instance lock.

#include <sys/types.h>

#include <string>

namespace ovix {

// Records the group of the application just started, with its mark.
void recordApplicationGroup(pid_t group, const std::string& mark);

// The application has ended with its whole group: nothing is left to end.
void forgetApplicationGroup();

// Ends what an earlier launcher's application left running, logging how many
// processes it ended, and forgets the record.
void endApplicationGroupLeftBehind();

}  // namespace ovix
