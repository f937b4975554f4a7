#include "base/AnonymousMapping.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace ovix {

void* mapAnonymous(std::size_t bytes) {
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    return address;
}

void* mapAnonymousAligned(std::size_t bytes, std::size_t alignment) {
    // Map enough to hold an aligned block anywhere inside, then give back the
    // pages before and after it.
    if (bytes > SIZE_MAX - alignment)
        throw std::bad_alloc();
    const std::size_t span = bytes + alignment;
    auto* start = static_cast<char*>(mapAnonymous(span));
    const auto base = reinterpret_cast<std::uintptr_t>(start);
    auto* aligned = start + ((alignment - base % alignment) % alignment);
    if (aligned != start)
        munmap(start, static_cast<std::size_t>(aligned - start));
    // munmap works on whole pages, and so does unmapAnonymous(aligned, bytes).
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    char* end = aligned + (bytes + page - 1) / page * page;
    if (end < start + span)
        munmap(end, static_cast<std::size_t>(start + span - end));
    return aligned;
}

void unmapAnonymous(void* address, std::size_t bytes) noexcept {
    if (address)
        munmap(address, bytes);
}

}  // namespace ovix
