#include "sgt/MappedArray.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "base/AnonymousMapping.h"

namespace ovix {

namespace {

constexpr std::size_t kPrefix = 8;  // the 64-bit size before the data

}  // namespace

void* mappedAlloc(std::size_t bytes) {
    if (bytes > SIZE_MAX - kPrefix)
        throw std::bad_array_new_length();
    auto* view = static_cast<unsigned char*>(ovix::mapAnonymous(bytes + kPrefix));
    const std::uint64_t size = bytes;
    std::memcpy(view, &size, kPrefix);
    return view + kPrefix;
}

void mappedFree(void* data) noexcept {
    if (!data)
        return;
    auto* view = static_cast<unsigned char*>(data) - kPrefix;
    ovix::unmapAnonymous(view, mappedSize(data) + kPrefix);
}

std::size_t mappedSize(const void* data) noexcept {
    std::uint64_t size;
    std::memcpy(&size, static_cast<const unsigned char*>(data) - kPrefix, kPrefix);
    return static_cast<std::size_t>(size);
}

}  // namespace ovix
