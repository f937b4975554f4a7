#pragma once
// Anonymous memory mappings: private, copy-on-write pages that are not part of
// the process heap and go back to the system as soon as they are unmapped.

#include <cstddef>

namespace ovix {

// `bytes` of zeroed memory, page-aligned. Throws std::bad_alloc when the
// system cannot supply them.
void* mapAnonymous(std::size_t bytes);

// As mapAnonymous, at an address that is a multiple of `alignment` (a power of
// two, at least the page size).
void* mapAnonymousAligned(std::size_t bytes, std::size_t alignment);

// Gives back a mapping made by mapAnonymous or mapAnonymousAligned with the
// same size; null is ignored.
void unmapAnonymous(void* address, std::size_t bytes) noexcept;

}  // namespace ovix
