#include "sgt/MappedArray.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <new>
#include <utility>

namespace ovix {

namespace {

std::uintptr_t address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// Whether the page holding p is mapped.
bool pageMapped(const void* p) {
    unsigned char residency;
    return mincore(reinterpret_cast<void*>(address(p) & ~std::uintptr_t{4095}), 1, &residency) == 0;
}

TEST(MappedArrayTest, ZeroedDataFollowsAnEightBytePrefixInAMappingOfItsOwn) {
    MappedArray<double> a(1000), b(1000);
    EXPECT_EQ(a.size(), 1000u);
    EXPECT_EQ(mappedSize(a.data()), 8000u);
    EXPECT_EQ(address(a.data()) % 4096, 8u);
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], 0.0) << i;
    a[999] = 1.5;
    EXPECT_EQ(b[999], 0.0);

    MappedArray<int> empty(0);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_TRUE(pageMapped(empty.data()));
}

TEST(MappedArrayTest, SizeBeyondThirtyTwoBitsIsKeptWhole) {
    const std::size_t bytes = (std::size_t{5} << 30) + 3;
    MappedArray<char> a(bytes);
    EXPECT_EQ(a.size(), bytes);
    a[bytes - 1] = 'x';  // the last byte lies inside the mapping
    char* last = &a[bytes - 1];
    a = MappedArray<char>();
    EXPECT_FALSE(pageMapped(last));  // and all of it went back
}

TEST(MappedArrayTest, SizesThatDoNotFitAreRefused) {
    EXPECT_THROW(MappedArray<double>(SIZE_MAX / 8 + 1), std::bad_alloc);
    EXPECT_THROW(mappedAlloc(SIZE_MAX - 7), std::bad_alloc);
    EXPECT_THROW(mappedAlloc(SIZE_MAX / 2), std::bad_alloc);  // no such mapping
}

TEST(MappedArrayTest, OwnershipMovesAndEndsInOneRelease) {
    MappedArray<int> a(10), c(5);
    int* data = a.data();
    int* replaced = c.data();
    c = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_EQ(c.data(), data);
    EXPECT_FALSE(pageMapped(replaced));

    int* raw = c.release();
    EXPECT_TRUE(pageMapped(raw));
    mappedFree(raw);
    EXPECT_FALSE(pageMapped(raw));
}

}  // namespace

}  // namespace ovix
