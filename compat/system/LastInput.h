#pragma once
// When the user last typed, as the kernel records it without a desktop: a
// terminal's access time moves when a program reads input from it (in steps
// of 8 seconds), so the newest access time among the user's terminals is the
// last keyboard input of any session, local or remote, text or graphical
// with a terminal open. Input devices under /dev/input get no such stamp
// (the event interface does not touch its inode); a display's own idle time
// is DisplayIdle.h's.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

namespace compat {

// The folders whose entries are terminals: /dev/pts and /dev.
std::vector<std::filesystem::path> terminalFolders();

// The newest access time among the entries of `folders` owned by `user`
// whose names mark them as terminals ("tty*", or a number as in /dev/pts):
// character devices, or plain files standing in for them. Empty when there is
// none.
std::optional<std::chrono::system_clock::time_point> lastTerminalInput(
    const std::vector<std::filesystem::path>& folders, uid_t user);

}  // namespace compat
