#include "features/DvirArithmetic.h"
#include "features/DvirCentroid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "features/tests/DvirBytes.h"

namespace ovix {

namespace {

using namespace ovix::testing;

TEST(DvirDotProduct, SumsBeyondDoublePrecision) {
    // 2^53 + 1 + 1 is exact in the extended sum; a double sum would drop both
    // ones.
    const Bytes a = pack({{1, 0x1p26f}, {2, 1.0f}, {3, 1.0f}});
    const Bytes b = pack({{1, 0x1p27f}, {2, 1.0f}, {3, 1.0f}});
    EXPECT_EQ(dvirDotProduct(DvirView(a), DvirView(b)), 0x1p53 + 2.0);
}

TEST(DvirListDispersionAndStddev, EqualProductsGiveZeroNotNan) {
    // Three equal products whose mean of squares rounds just below the
    // squared mean.
    const Bytes c = pack({{1, 0x1.f5c29p-1f}, {2, 0x1.e24dd2p-1f}, {3, 0x1.99999ap-6f}});
    const Bytes x = pack({{1, 0x1.2c0832p-2f}, {2, 0x1.1a9fbep-3f}, {3, 0x1.cbc6a8p-1f}});
    const std::vector<DvirView> list(3, DvirView(x));
    const auto [mean, stddev] = dvirListDispersionAndStddev(DvirView(c), list);
    EXPECT_EQ(mean, dvirDotProduct(DvirView(x), DvirView(c)));
    EXPECT_EQ(stddev, 0.0);
}

TEST(DvirListCentroid, ZeroLengthKeepsItsZeroWeights) {
    const Bytes x = pack({{1, 1.0f}, {2, 0.0f}});
    const Bytes y = pack({{1, -1.0f}});
    const DvirView list[] = {DvirView(x), DvirView(y)};
    EXPECT_EQ(pairsOf(dvirListCentroid(list)), (std::vector<std::pair<std::uint64_t, float>>{{1, 0.0f}, {2, 0.0f}}));

    const DvirView empties[] = {DvirView(), DvirView()};
    EXPECT_TRUE(dvirListCentroid(empties).empty());
    EXPECT_TRUE(dvirListCentroid({}).empty());
}

TEST(DvirListCentroid, ManyIdsThatShareTheirFirstBytes) {
    // Text labels differ only in their last bytes; the table must still spread
    // them (and grow) without losing a sum.
    std::vector<Bytes> vectors;
    for (int v = 0; v < 4; ++v) {
        std::vector<DocVecI> entries;
        for (int i = 0; i < 5000; ++i) {
            DocVecI e;
            const std::string label = "lb" + std::to_string(100000 + i);  // 8 bytes
            std::memcpy(e.fid.m_fid, label.data(), FID_LEN);
            e.weight = 1.0f;
            entries.push_back(e);
        }
        dvirSortById(entries);
        vectors.push_back(pack(entries));
    }
    const std::vector<DvirView> list(vectors.begin(), vectors.end());
    const std::vector<DocVecI> centroid = dvirListCentroid(list);
    ASSERT_EQ(centroid.size(), 5000u);
    for (const DocVecI& e : centroid)
        ASSERT_FLOAT_EQ(e.weight, static_cast<float>(4 / std::sqrt(16.0 * 5000)));
}

}  // namespace

}  // namespace ovix
