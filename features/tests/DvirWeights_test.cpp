#include "features/DvirWeights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "features/tests/DvirBytes.h"

namespace ovix {

namespace {

using namespace ovix::testing;

struct DvirWeightsTest : ::testing::Test {
    Fids fids{false};
    FidsDocCount dc{&fids};

    Fid fid(std::uint64_t id) { return entry(id, 0).fid; }

    std::optional<std::vector<DocVecI>> weigh(const Bytes& bytes, bool keepWeights, bool logTf, bool idf, int topN,
                                              FixedIdfAlg alg = FIXED_IDF_ALG_DROP, int minDf = 0) {
        return dvir2Weights(DvirView(bytes), keepWeights, logTf, idf, topN, alg, minDf, dc);
    }
};

double sumOfSquares(const std::vector<DocVecI>& entries) {
    double s = 0;
    for (const DocVecI& e : entries)
        s += static_cast<double>(e.weight) * e.weight;
    return s;
}

TEST_F(DvirWeightsTest, FlatlineOnAnEmptyTableDoesNotOverflow) {
    // min is INT_MAX: df + 1 is 2^31, computed in floating point.
    const auto weighted = weigh(pack({{1, 1.0f}, {2, 2.0f}}), false, false, true, 0, FIXED_IDF_ALG_FLATLINE);
    ASSERT_TRUE(weighted);
    // Both weights are w ln(2 / 2^31): negative, and unit length all the same.
    ASSERT_EQ(weighted->size(), 2u);
    EXPECT_FLOAT_EQ((*weighted)[0].weight, static_cast<float>(-1 / std::sqrt(5.0)));
    EXPECT_FLOAT_EQ((*weighted)[1].weight, static_cast<float>(-2 / std::sqrt(5.0)));
}

TEST_F(DvirWeightsTest, NegativeWeightsStayAndOnlyZeroWeightsGo) {
    for (std::uint64_t id : {1, 2, 4})
        dc.incrDocCount(fid(id));  // N = 3, df 1: a factor ln 1.5
    // logTf makes 0.1 negative; idf under IGNORE makes the unknown id 3 zero.
    const auto weighted =
        weigh(pack({{1, 0.1f}, {2, 1.0f}, {3, 5.0f}, {4, 5.0f}}), false, true, true, 0, FIXED_IDF_ALG_IGNORE);
    ASSERT_TRUE(weighted);
    ASSERT_EQ(weighted->size(), 3u);
    EXPECT_EQ((*weighted)[0].fid.asNumber(), 1u);
    EXPECT_LT((*weighted)[0].weight, 0.0f);
    EXPECT_EQ((*weighted)[1].fid.asNumber(), 2u);
    EXPECT_EQ((*weighted)[2].fid.asNumber(), 4u);
    EXPECT_NEAR(sumOfSquares(*weighted), 1.0, 1e-6);
}

TEST_F(DvirWeightsTest, AllZeroWeightsGiveAnEmptyVector) {
    const auto ignored = weigh(pack({{1, 1.0f}, {2, 1.0f}}), false, false, true, 0, FIXED_IDF_ALG_IGNORE);
    ASSERT_TRUE(ignored);
    EXPECT_TRUE(ignored->empty());
    const auto zeros = weigh(pack({{1, 0.0f}, {2, 0.0f}, {3, 0.0f}}), true, false, false, 2);
    ASSERT_TRUE(zeros);
    EXPECT_TRUE(zeros->empty());
}

TEST_F(DvirWeightsTest, NotANumberThrowsAfterTheCut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Bytes& bytes : {pack({{1, nan}, {2, 1.0f}}), pack({{1, -1.0f}})}) {  // ln of a negative too
        try {
            weigh(bytes, false, true, false, 0);
            ADD_FAILURE() << "no throw";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Weight is NaN");
        }
    }
    // The cut orders not-a-number last, so it can cut it away.
    std::vector<std::pair<std::uint64_t, float>> pairs;
    for (std::uint64_t i = 0; i < 100; ++i)
        pairs.emplace_back(i, i % 3 == 0 ? nan : static_cast<float>(i));
    const auto cut = weigh(pack(pairs), true, false, false, 60);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), 60u);
    EXPECT_EQ((*cut)[0].fid.asNumber(), 10u);  // the six lightest, 1 2 4 5 7 8, are gone
}

}  // namespace

}  // namespace ovix
