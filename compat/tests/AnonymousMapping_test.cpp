#include "compat/AnonymousMapping.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace {

TEST(AnonymousMapping, GivesZeroedWritablePageAlignedMemory) {
    const std::size_t bytes = (1 << 20) + 8;
    auto* p = static_cast<unsigned char*>(compat::mapAnonymous(bytes));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 4096, 0u);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[bytes - 1], 0);
    std::memset(p, 0xAB, bytes);
    EXPECT_EQ(p[bytes / 2], 0xAB);
    compat::unmapAnonymous(p, bytes);
    compat::unmapAnonymous(nullptr, bytes);
}

TEST(AnonymousMapping, ImpossibleSizeIsAnAllocationFailure) {
    EXPECT_THROW(compat::mapAnonymous(~std::size_t{0} - 4095), std::bad_alloc);
}

}  // namespace
