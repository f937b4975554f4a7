#include "base/AnonymousMapping.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

TEST(AnonymousMapping, GivesZeroedWritablePageAlignedMemory) {
    const std::size_t bytes = (1 << 20) + 8;
    auto* p = static_cast<unsigned char*>(ovix::mapAnonymous(bytes));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 4096, 0u);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[bytes - 1], 0);
    std::memset(p, 0xAB, bytes);
    EXPECT_EQ(p[bytes / 2], 0xAB);
    ovix::unmapAnonymous(p, bytes);
    ovix::unmapAnonymous(nullptr, bytes);
}

TEST(AnonymousMapping, ImpossibleSizeIsAnAllocationFailure) {
    EXPECT_THROW(ovix::mapAnonymous(~std::size_t{0} - 4095), std::bad_alloc);
}

// Whether every page of [address, address + bytes) is mapped.
bool mapped(const void* address, std::size_t bytes) {
    std::vector<unsigned char> residency(bytes / 4096 + 1);
    return mincore(const_cast<void*>(address), bytes, residency.data()) == 0;
}

TEST(AnonymousMapping, AlignedMappingIsAlignedZeroedAndGivenBackWhole) {
    const std::size_t mib = 1 << 20;
    for (const std::size_t bytes : {mib, mib + 100}) {
        auto* p = static_cast<unsigned char*>(ovix::mapAnonymousAligned(bytes, mib));
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % mib, 0u);
        EXPECT_EQ(p[0], 0);
        EXPECT_EQ(p[bytes - 1], 0);
        std::memset(p, 0x5A, bytes);
        EXPECT_TRUE(mapped(p, bytes));
        ovix::unmapAnonymous(p, bytes);
        EXPECT_FALSE(mapped(p, 4096));
        EXPECT_FALSE(mapped(p + (bytes - 1) / 4096 * 4096, 4096));
    }
}

TEST(AnonymousMapping, ImpossibleAlignedSizeIsAnAllocationFailure) {
    EXPECT_THROW(ovix::mapAnonymousAligned(~std::size_t{0} - 4095, 1 << 20), std::bad_alloc);
}

}  // namespace
