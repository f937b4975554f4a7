#pragma once
// The running processes of this user: all their ids, or one found by the file
// name of its program: the last part of the link /proc/<pid>/exe, which the
// kernel keeps whole (the name in /proc/<pid>/comm is cut at 15 bytes). Any
// thread may call them.

#include <sys/types.h>

#include <optional>
#include <string_view>
#include <vector>

#include "compat/system/Process.h"

namespace compat {

// The ids of the processes of the user that this process runs as, ascending.
std::vector<pid_t> userProcessIds();

// The first process (lowest id) of this user whose program file is named
// `name` exactly, opened; checked again once opened, so that an id that
// passed to another program meanwhile is never taken. Empty when none.
std::optional<Process> findUserProcess(std::string_view name);

}  // namespace compat
