#include "compat/system/ReadableMemory.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace compat {

namespace {

constexpr std::size_t kPagesPerCall = 64;

}  // namespace

// The kernel reads each source piece whole or not at all, so the source is
// split at page boundaries: the copy then ends exactly where readable memory
// ends.
std::size_t copyReadable(void* to, const void* from, std::size_t size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto* target = static_cast<char*>(to);
    auto address = reinterpret_cast<std::uintptr_t>(from);
    std::size_t copied = 0;
    while (copied < size) {
        iovec pieces[kPagesPerCall];
        std::size_t count = 0;
        std::size_t asked = 0;
        for (; count < kPagesPerCall && copied + asked < size; ++count) {
            const std::uintptr_t start = address + asked;
            const std::size_t length = std::min(page - start % page, size - copied - asked);
            pieces[count] = {reinterpret_cast<void*>(start), length};
            asked += length;
        }
        const iovec local{target + copied, asked};
        const ssize_t got = process_vm_readv(getpid(), &local, 1, pieces, count, 0);
        if (got <= 0)
            break;
        copied += static_cast<std::size_t>(got);
        address += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < asked)
            break;
    }
    return copied;
}

}  // namespace compat
