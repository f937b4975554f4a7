#include "features/Fid.h"

#include <gtest/gtest.h>

#include <string>

namespace ovix {

namespace {

Fid fromBytes(std::initializer_list<unsigned char> bytes) {
    Fid f;
    int i = 0;
    for (unsigned char b : bytes)
        f.m_fid[i++] = static_cast<char>(b);
    return f;
}

TEST(Fid, ShortTextIsPaddedWithBlanksAndSurvivesTheRoundTrip) {
    const Fid f("ab");
    EXPECT_EQ(std::string(f.m_fid, FID_LEN), "ab      ");
    EXPECT_EQ(f.text(), "ab");
    EXPECT_EQ(Fid(f.text()), f);
}

TEST(Fid, LongTextKeepsItsFirstEightBytes) {
    EXPECT_EQ(std::string(Fid("0123456789").m_fid, FID_LEN), "01234567");
    EXPECT_EQ(std::string(Fid("").m_fid, FID_LEN), "        ");
}

TEST(Fid, TextFormDropsOnlyTrailingBlanksAndKeepsInnerZeroBytes) {
    const Fid f = fromBytes({'a', 0, ' ', 'b', ' ', ' ', ' ', ' '});
    EXPECT_EQ(f.text(), std::string("a\0 b", 4));
    EXPECT_EQ(Fid(f.text()), f);
    EXPECT_EQ(Fid("        ").text(), "");
    EXPECT_EQ(fromBytes({0, 0, 0, 0, 0, 0, 0, 0}).text(), std::string(8, '\0'));
}

TEST(Fid, NumberIsLittleEndian) {
    EXPECT_EQ(fromBytes({1, 0, 0, 0, 0, 0, 0, 0x80}).asNumber(), 0x8000000000000001ull);
}

TEST(FidHash, HashIsTheFirstFourBytesLittleEndian) {
    const FidHash hash;
    EXPECT_EQ(hash(fromBytes({0xff, 0xff, 0xff, 0xff, 1, 2, 3, 4})), 4294967295ul);
    EXPECT_EQ(hash(fromBytes({0x01, 0x02, 0x03, 0x04, 9, 9, 9, 9})), 0x04030201ul);
    EXPECT_EQ(hash(fromBytes({0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0})), 0x04030201ul);
}

TEST(FidHash, OrderComparesBytesAsUnsignedFromTheFirst) {
    const FidHash less;
    const Fid high = fromBytes({0x80, 0, 0, 0, 0, 0, 0, 0});
    const Fid low = fromBytes({0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff});
    EXPECT_TRUE(less(low, high));
    EXPECT_FALSE(less(high, low));
    EXPECT_FALSE(less(high, high));
    // Not the packed-vector order, which reads the id as a little-endian number.
    const Fid a = fromBytes({1, 0, 0, 0, 0, 0, 0, 2});
    const Fid b = fromBytes({2, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_TRUE(less(a, b));
    EXPECT_GT(a.asNumber(), b.asNumber());
}

}  // namespace

}  // namespace ovix
