#include "features/Dvir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "features/tests/DvirBytes.h"

namespace {

using namespace ovix::test;

TEST(DvirView, CountsWholeEntriesAndReadsUnalignedBytes) {
    Bytes bytes = pack({{0x0102030405060708ull, 2.5f}, {9, 0.25f}});
    bytes.push_back(0x7F);  // 25 bytes: the last one is no entry
    EXPECT_EQ(DvirView(bytes).size(), 2u);
    EXPECT_EQ(DvirView(std::span(bytes).first(11)).size(), 0u);

    Bytes shifted(1, 0);
    shifted.insert(shifted.end(), bytes.begin(), bytes.end());
    const DvirView v{std::span(shifted).subspan(1)};
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v.id(0), 0x0102030405060708ull);
    EXPECT_EQ(v.weight(0), 2.5f);
    EXPECT_EQ(v.fid(1).asNumber(), 9u);
    EXPECT_EQ(v[1].weight, 0.25f);
    EXPECT_EQ(v.entries().size(), 2u);
}

TEST(DvirView, IdOrderIsUnsigned64BitLittleEndianWithTheLastFourBytesHigh) {
    // Bytes 4-7 decide before bytes 0-3, and 0x80 in the top byte is large.
    const Fid lowFirstHalf(std::string_view("\xff\xff\xff\xff\x01\x00\x00\x00", 8));
    const Fid highFirstHalf(std::string_view("\x00\x00\x00\x00\x02\x00\x00\x00", 8));
    const Fid topBit(std::string_view("\x00\x00\x00\x00\x00\x00\x00\x80", 8));
    std::vector<DocVecI> entries{{topBit, 1}, {highFirstHalf, 2}, {lowFirstHalf, 3}};
    dvirSortById(entries);
    EXPECT_EQ(entries[0].weight, 3);
    EXPECT_EQ(entries[1].weight, 2);
    EXPECT_EQ(entries[2].weight, 1);
}

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

TEST(Dvir2String, GivesTheNumberOfWholeEntries) {
    Bytes bytes = pack({{1, 1.0f}, {2, 1.0f}, {3, 1.0f}});
    bytes.resize(35);
    EXPECT_EQ(dvir2String(DvirView(bytes)), "flen 2");
    EXPECT_EQ(dvir2String(DvirView()), "flen 0");
}

TEST(DvirFixTrailingWhitespace, PadsShortBuffersWithBlanksAndLeavesOthers) {
    const Bytes two = pack({{1, 1.0f}, {2, 2.0f}});
    const auto padded = dvirFixTrailingWhitespace(two, 3);
    ASSERT_TRUE(padded);
    ASSERT_EQ(padded->size(), 36u);
    EXPECT_TRUE(std::equal(two.begin(), two.end(), padded->begin()));
    EXPECT_TRUE(std::all_of(padded->begin() + 24, padded->end(), [](unsigned char c) { return c == ' '; }));

    Bytes partial = two;
    partial.push_back(0xAB);  // a partial entry is copied as it is
    const auto fromPartial = dvirFixTrailingWhitespace(partial, 3);
    ASSERT_TRUE(fromPartial);
    EXPECT_EQ((*fromPartial)[24], 0xAB);
    EXPECT_EQ((*fromPartial)[25], ' ');

    for (int n : {2, 1, 0, -5})
        EXPECT_FALSE(dvirFixTrailingWhitespace(two, n)) << n;
}

TEST(DvirChangeEndian, SameOrderStandsAndAnySwapReversesWeightBytesOnly) {
    const Bytes bytes = pack({{5, 1.5f}, {2, -3.0f}});
    EXPECT_FALSE(dvirChangeEndian(DvirView(bytes), DVIR_ENDIAN_NATIVE, DVIR_ENDIAN_LITTLE));
    EXPECT_FALSE(dvirChangeEndian(DvirView(bytes), DVIR_ENDIAN_BIG, DVIR_ENDIAN_BIG));
    EXPECT_FALSE(dvirChangeEndian(DvirView(bytes), static_cast<DvirEndian>(9), static_cast<DvirEndian>(9)));

    const auto big = dvirChangeEndian(DvirView(bytes), DVIR_ENDIAN_LITTLE, DVIR_ENDIAN_BIG);
    ASSERT_TRUE(big);
    ASSERT_EQ(big->size(), 2u);
    EXPECT_EQ((*big)[0].fid.asNumber(), 2u);  // sorted by id
    const unsigned char minusThreeBigEndian[] = {0xC0, 0x40, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(&(*big)[0].weight, minusThreeBigEndian, 4), 0);

    // Swapping back gives the sorted input bit for bit, not-a-number
    // patterns included.
    Bytes signalling = pack({{1, 1.0f}, {2, 2.0f}});
    const unsigned char pattern[] = {0x01, 0x00, 0x80, 0x7F};  // a signalling NaN, little-endian
    std::memcpy(signalling.data() + 8, pattern, 4);
    const auto there = dvirChangeEndian(DvirView(signalling), DVIR_ENDIAN_LITTLE, DVIR_ENDIAN_BIG);
    const auto back = dvirChangeEndian(DvirView(pack(*there)), DVIR_ENDIAN_BIG, DVIR_ENDIAN_NATIVE);
    EXPECT_EQ(pack(*back), signalling);
}

}  // namespace
