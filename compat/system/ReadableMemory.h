#pragma once
// Copies from memory of this process whose extent another party states (the
// records that a loaded library hands over with their count), without
// faulting when the statement is wrong: the copy stops at the first page that
// cannot be read. A count that overstates its array within readable memory
// copies what lies there; only the end of the readable range is found.
//
// The calls may be made from any thread.

#include <cstddef>

namespace compat {

// Copies up to `size` bytes from `from` to `to`: the bytes copied, fewer
// than `size` when the range runs into memory that cannot be read.
std::size_t copyReadable(void* to, const void* from, std::size_t size);

}  // namespace compat
