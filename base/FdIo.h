#pragma once
// Whole reads and writes on a descriptor, retried after signals. Thread
// safety: as the descriptor's own.

#include <cstddef>
#include <string_view>

namespace ovix {

// Writes all of `data`; false at the first failure (errno tells why).
bool writeAll(int fd, std::string_view data);

// Reads into `to` until `size` bytes, the end of the file or a failure; the
// count read.
std::size_t readUpTo(int fd, char* to, std::size_t size);

}  // namespace ovix
