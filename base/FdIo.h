#pragma once
// Whole reads and writes on a descriptor, retried after signals. Thread
// safety: as the descriptor's own.

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace ovix {

// Writes all of `data`; false at the first failure (errno tells why).
bool writeAll(int fd, std::string_view data);

// What a read gave: the bytes read, and the errno of the failure that stopped
// it (0 when it stopped at `size` bytes or at the end of the file).
struct ReadResult {
    std::size_t count = 0;
    int error = 0;
};

// Reads into `to` until `size` bytes, the end of the file or a failure.
[[nodiscard]] ReadResult readUpTo(int fd, char* to, std::size_t size);

// The same from the file's byte `offset` on, leaving the descriptor's own
// offset as it is.
[[nodiscard]] ReadResult readUpToAt(int fd, char* to, std::size_t size, off_t offset);

}  // namespace ovix
