#pragma once
// What is left of a process group once the process that started its leader
// has gone: its members, known by the group's id together with an entry of
// their environment, which processes of another group or another starter do
// not carry. Safe from any thread.

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace compat {

// Ends (SIGKILL) every process of the calling user in process group `group`
// whose environment holds the entry `mark` ("NAME=value"), each checked again
// once a process descriptor holds it, so that an id passed meanwhile to
// another process ends nothing. Never the calling process. Returns how many
// it ended.
std::size_t endMarkedGroupMembers(pid_t group, std::string_view mark);

}  // namespace compat
