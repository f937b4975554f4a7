#include "features/DvirDocCounts.h"
#include "features/DvirVerify.h"
#include "features/DvirWeights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "features/tests/DvirBytes.h"

namespace {

using namespace ovix::test;
using Pairs = std::vector<std::pair<std::uint64_t, float>>;

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

TEST_F(DvirWeightsTest, KeptWeightsWithoutACutStandAsTheyAre) {
    const Bytes bytes = pack({{2, 3.0f}, {1, 4.0f}});
    EXPECT_FALSE(weigh(bytes, true, true, true, 0));
    EXPECT_FALSE(weigh(bytes, true, false, false, 2));  // a cut to n or more is no cut
    EXPECT_FALSE(weigh(bytes, true, false, false, -1));
}

TEST_F(DvirWeightsTest, OtherwiseTheResultIsNewUnitLengthAndInIdOrder) {
    const auto plain = weigh(pack({{2, 3.0f}, {1, 4.0f}}), false, false, false, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(pairsOf(*plain), (Pairs{{1, 0.8f}, {2, 0.6f}}));
    EXPECT_EQ(weigh({}, false, true, true, 0)->size(), 0u);
}

TEST_F(DvirWeightsTest, TopNKeepsTheHeaviest) {
    const auto cut = weigh(pack({{1, 3.0f}, {2, 1.0f}, {3, 2.0f}}), true, false, false, 2);
    ASSERT_TRUE(cut);
    EXPECT_EQ(pairsOf(*cut), (Pairs{{1, static_cast<float>(3 / std::sqrt(13.0))}, {3, static_cast<float>(2 / std::sqrt(13.0))}}));
}

TEST_F(DvirWeightsTest, LogTfIsOnePlusTheLogarithm) {
    const auto weighted = weigh(pack({{1, 1.0f}, {2, std::exp(2.0f)}}), false, true, false, 0);
    // 1 and 3 before the length
    ASSERT_EQ(weighted->size(), 2u);
    EXPECT_FLOAT_EQ((*weighted)[0].weight, static_cast<float>(1 / std::sqrt(10.0)));
    EXPECT_FLOAT_EQ((*weighted)[1].weight, static_cast<float>(3 / std::sqrt(10.0)));
}

TEST_F(DvirWeightsTest, IdfUsesTheDocumentCountsAndTheAlgorithmForUnknownIds) {
    for (int i = 0; i < 8; ++i)
        dc.incrDocCount(fid(1));  // df 8, max 8: N = 10
    dc.incrDocCount(fid(2));
    dc.incrDocCount(fid(2));
    dc.decrDocCount(fid(2));  // df 1, and min 1
    const Bytes bytes = pack({{1, 1.0f}, {2, 1.0f}, {3, 1.0f}});
    const double known = std::log(10.0 / 9), rare = std::log(10.0 / 2);

    const auto expect = [&](FixedIdfAlg alg, int minDf, double unknown) {
        double w[] = {known, rare, unknown};
        const double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        Pairs pairs;
        for (int i = 0; i < 3; ++i) {
            if (w[i] != 0)
                pairs.emplace_back(i + 1, static_cast<float>(static_cast<float>(w[i]) / length));
        }
        const auto weighted = weigh(bytes, false, false, true, 0, alg, minDf);
        ASSERT_TRUE(weighted);
        for (size_t i = 0; i < pairs.size(); ++i)
            EXPECT_FLOAT_EQ((*weighted)[i].weight, pairs[i].second) << alg << " " << minDf << " " << i;
        EXPECT_EQ(weighted->size(), pairs.size()) << alg << " " << minDf;
    };
    expect(FIXED_IDF_ALG_DROP, 0, std::log(10.0));  // df 0 gives ln N
    expect(FIXED_IDF_ALG_DROP, 1, 0);
    expect(FIXED_IDF_ALG_FLATLINE, 0, rare);  // df 0 becomes the lowest count, 1
    expect(FIXED_IDF_ALG_IGNORE, 0, 0);
    expect(static_cast<FixedIdfAlg>(7), 0, std::log(10.0));  // an unnamed code acts as DROP
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
    EXPECT_THROW(
        {
            try {
                weigh(pack({{1, nan}, {2, 1.0f}}), false, false, false, 0);
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Weight is NaN");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_THROW(weigh(pack({{1, -1.0f}}), false, true, false, 0), std::runtime_error);  // ln of a negative
    // The cut orders not-a-number last, so it can cut it away.
    std::vector<std::pair<std::uint64_t, float>> pairs;
    for (std::uint64_t i = 0; i < 100; ++i)
        pairs.emplace_back(i, i % 3 == 0 ? nan : static_cast<float>(i));
    const auto cut = weigh(pack(pairs), true, false, false, 60);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), 60u);
    EXPECT_EQ((*cut)[0].fid.asNumber(), 10u);  // the six lightest, 1 2 4 5 7 8, are gone
}

TEST_F(DvirWeightsTest, DocumentCountFunctions) {
    dc.incrDocCount(fid(1));
    dc.incrDocCount(fid(3));
    const Bytes bytes = pack({{1, 2.0f}, {2, 3.0f}, {3, 0.5f}});
    EXPECT_EQ(dvirDocCountHits(DvirView(bytes), dc), 2.5);
    EXPECT_EQ(dvirInLanguageRatio(DvirView(bytes), dc), 2.5 / 5.5);
    EXPECT_TRUE(std::isnan(dvirInLanguageRatio(DvirView(), dc)));

    dvirIncrDocCounts(DvirView(bytes), dc);
    EXPECT_EQ(dc.getDocCount(fid(1)), 2);
    EXPECT_EQ(dc.getDocCount(fid(2)), 1);
    dvirDecrDocCounts(DvirView(bytes), dc);
    dvirDecrDocCounts(DvirView(bytes), dc);
    EXPECT_EQ(dc.getDocCount(fid(1)), 0);
    EXPECT_EQ(dc.getDocCount(fid(3)), 0);
}

}  // namespace
