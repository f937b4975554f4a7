#include "compat/AnonymousMapping.h"

#include <sys/mman.h>

#include <new>

namespace compat {

void* mapAnonymous(std::size_t bytes) {
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    return address;
}

void unmapAnonymous(void* address, std::size_t bytes) noexcept {
    if (address)
        munmap(address, bytes);
}

}  // namespace compat
