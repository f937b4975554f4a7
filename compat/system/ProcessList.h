#pragma once
// The running processes of this user, found by the file name of their
// program: the last part of the link /proc/<pid>/exe, which the kernel keeps
// whole (the name in /proc/<pid>/comm is cut at 15 bytes). Any thread may
// call it.

#include <optional>
#include <string_view>

#include "compat/system/Process.h"

namespace compat {

// The first process (lowest id) of this user whose program file is named
// `name` exactly, opened; checked again once opened, so that an id that
// passed to another program meanwhile is never taken. Empty when none.
std::optional<Process> findUserProcess(std::string_view name);

}  // namespace compat
