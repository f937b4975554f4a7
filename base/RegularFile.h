#pragma once
// Opening a file whose bytes come from outside without ever waiting on it: the
// open itself cannot block (a FIFO without a writer, a terminal, a device), and
// anything that is not a regular file (a FIFO, a device, a socket, a folder) is
// told apart from a file that cannot be opened at all, so that the caller can
// refuse it by name. Safe from any thread.

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>

#include "base/UniqueFd.h"

namespace ovix {

struct RegularFile {
    UniqueFd fd;              // none when the file is not opened
    std::int64_t size = 0;    // bytes in the file when it was opened
    bool notRegular = false;  // the path names something other than a regular file
};

// Opens `path` with `flags` (O_RDONLY, O_WRONLY | O_APPEND | O_CREAT, ...) and
// O_NONBLOCK | O_CLOEXEC | O_NOCTTY, and keeps the descriptor only when fstat
// finds a regular file (where O_NONBLOCK changes nothing). Without a
// descriptor, notRegular tells a file of another type from one that could not
// be opened, errno then saying why.
RegularFile openRegularFile(const std::filesystem::path& path, int flags, mode_t mode = 0666);

// The same for `name` in the folder open as `folder`.
RegularFile openRegularFileAt(int folder, const char* name, int flags, mode_t mode = 0666);

}  // namespace ovix
