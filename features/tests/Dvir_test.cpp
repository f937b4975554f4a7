#include "features/Dvir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "features/tests/DvirBytes.h"

namespace ovix {

namespace {

using namespace ovix::testing;

TEST(DvirWeightGreater, IsAStrictWeakOrderEvenWithNotANumber) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const DocVecI a = entry(1, 2), b = entry(2, 1), n = entry(3, nan);
    EXPECT_TRUE(dvirWeightGreater(a, b));
    EXPECT_FALSE(dvirWeightGreater(b, a));
    EXPECT_FALSE(dvirWeightGreater(a, a));
    EXPECT_TRUE(dvirWeightGreater(b, n));
    EXPECT_FALSE(dvirWeightGreater(n, b));
    EXPECT_FALSE(dvirWeightGreater(n, n));

    // Enough entries for the introsort path, where a comparator that is no
    // strict weak order makes the unguarded insertion sort run off the end.
    std::mt19937 rng(7);
    std::vector<DocVecI> entries;
    for (std::uint64_t i = 0; i < 2000; ++i)
        entries.push_back(entry(i, rng() % 5 == 0 ? nan : static_cast<float>(rng() % 100)));
    std::sort(entries.begin(), entries.end(), dvirWeightGreater);
    const auto firstNan = std::find_if(entries.begin(), entries.end(), [](const DocVecI& e) { return std::isnan(e.weight); });
    EXPECT_TRUE(std::all_of(firstNan, entries.end(), [](const DocVecI& e) { return std::isnan(e.weight); }));
    EXPECT_TRUE(std::is_sorted(entries.begin(), firstNan, dvirWeightGreater));
}

TEST(DvirChangeEndian, SwapsWeightBitsExactly) {
    // A weight whose swapped bytes read as a signalling not-a-number comes
    // back bit for bit.
    Bytes bytes = pack({{1, 1.0f}, {2, 2.0f}});
    const unsigned char signalling[] = {0x01, 0x00, 0x80, 0x7F};
    std::memcpy(bytes.data() + 8, signalling, 4);
    const auto there = dvirChangeEndian(DvirView(bytes), DVIR_ENDIAN_LITTLE, DVIR_ENDIAN_BIG);
    ASSERT_TRUE(there);
    const unsigned char swapped[] = {0x7F, 0x80, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(&(*there)[0].weight, swapped, 4), 0);
    const auto back = dvirChangeEndian(DvirView(pack(*there)), DVIR_ENDIAN_BIG, DVIR_ENDIAN_NATIVE);
    EXPECT_EQ(pack(*back), bytes);
}

}  // namespace

}  // namespace ovix
