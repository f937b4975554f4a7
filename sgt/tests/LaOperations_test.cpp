#include "sgt/LaOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "sgt/tests/MatrixFill.h"

namespace ovix {

namespace {

template <class T>
class LaOperationsTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LaOperationsTest, ElementTypes);

template <class T>
std::unique_ptr<LaVector<T>> vectorOf(const std::vector<T>& values) {
    auto v = std::make_unique<LaVector<T>>(static_cast<int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i)
        v->setAt(static_cast<int>(i), values[i]);
    return v;
}

template <class T>
std::vector<T> valuesOf(const LaVector<T>& v) {
    std::vector<T> values;
    for (int i = 0; i < v.rowCount(); ++i)
        values.push_back(v.getAt(i));
    return values;
}

// Errors of threshold t: positives at or below it, negatives above it.
template <class T>
int thresholdErrors(const std::vector<T>& ranks, const std::vector<T>& labels, T t) {
    int errors = 0;
    for (std::size_t i = 0; i < ranks.size(); ++i)
        errors += (labels[i] > 0 && ranks[i] <= t) || (labels[i] < 0 && ranks[i] > t);
    return errors;
}

// Runs laMinErrorThreshold and checks it against every threshold there is:
// each rank, and anything below all ranks.
template <class T>
T checkedThreshold(const std::vector<T>& ranks, const std::vector<T>& labels) {
    const auto rankVector = vectorOf(ranks);
    const T t = laMinErrorThreshold(*rankVector, *vectorOf(labels));

    // Candidates from the lowest up; a later one of equal error wins.
    std::vector<T> candidates = ranks;
    std::sort(candidates.begin(), candidates.end());
    const T lowest = candidates.front();
    int least = thresholdErrors(ranks, labels, std::nextafter(lowest, -std::numeric_limits<T>::infinity()));
    bool belowAll = true;
    T best = lowest;
    for (const T candidate : candidates) {
        const int errors = thresholdErrors(ranks, labels, candidate);
        if (errors <= least) {
            least = errors;
            best = candidate;
            belowAll = false;
        }
    }
    EXPECT_EQ(thresholdErrors(ranks, labels, t), least);
    if (belowAll)
        EXPECT_LT(t, lowest);
    else
        EXPECT_EQ(t, best);
    const std::vector<T> shifted = valuesOf(*rankVector);
    for (std::size_t i = 0; i < ranks.size(); ++i)
        EXPECT_EQ(shifted[i], static_cast<T>(ranks[i] - t)) << i;
    return t;
}

TYPED_TEST(LaOperationsTest, AddDiagonalStopsAtTheShorterSide) {
    auto A = denseOf<TypeParam>({{1, 2, 3}, {4, 5, 6}});
    LaDiagonalMatrix<TypeParam> D(2);
    D.setAt(0, 10);
    D.setAt(1, -5);
    laAddDiagonal(*A, D);
    EXPECT_TRUE(holds(*A, {{11, 2, 3}, {4, 0, 6}}));
}

TYPED_TEST(LaOperationsTest, DiagonalProductsSkipRowsOfZeroCost) {
    // Row 1 of V is not finite, and its cost is 0: it must not reach the sums.
    const TypeParam inf = std::numeric_limits<TypeParam>::infinity();
    auto V = denseOf<TypeParam>({{1, 2}, {inf, -inf}, {3, -1}});
    LaDiagonalMatrix<TypeParam> K(3);
    K.setAt(0, 2);
    K.setAt(2, 0.5);
    const auto VtKV = laTransposeDiagProduct(*V, K);
    EXPECT_TRUE(holds(*VtKV, {{6.5, 2.5}, {2.5, 8.5}}));
    const auto g = vectorOf<TypeParam>({1, 100, -2});
    const auto VtKg = laTransposeDiagVector(*V, K, *g);
    EXPECT_TRUE(holds(*VtKg, {{-1}, {5}}));
}

TYPED_TEST(LaOperationsTest, MinErrorThresholdOnTheDocumentedCases) {
    // No labels: every threshold ties at 0 errors, the highest rank wins.
    EXPECT_EQ(checkedThreshold<TypeParam>({0.5, -2, 3, 1}, {0, 0, 0, 0}), 3);
    // One negative below one positive: the negative's rank.
    EXPECT_EQ(checkedThreshold<TypeParam>({-1, 2}, {-1, 1}), -1);
    EXPECT_EQ(checkedThreshold<TypeParam>({2, -1, 0.5}, {1, -1, 0}), 0.5);
}

TYPED_TEST(LaOperationsTest, MinErrorThresholdCanLieBelowEveryRank) {
    // Only positives, all ranked below 0: the least error is none at all, with
    // the threshold below the lowest rank. A threshold of 0 would make both
    // positives errors.
    const TypeParam t = checkedThreshold<TypeParam>({-5, -3, -4}, {1, 1, 0});
    EXPECT_LT(t, -5);
    const TypeParam far = checkedThreshold<TypeParam>({-3e9, 1e10}, {1, 1});
    EXPECT_LT(far, TypeParam(-3e9));
}

TYPED_TEST(LaOperationsTest, MinErrorThresholdNeverSplitsEqualRanks) {
    // A negative and a positive share rank 1: a threshold there errs on the
    // positive whichever of the two the sort puts first.
    EXPECT_LT(checkedThreshold<TypeParam>({0, 1, 1}, {1, -1, 1}), 0);
    EXPECT_LT(checkedThreshold<TypeParam>({0, 1, 1}, {1, 1, -1}), 0);
}

TYPED_TEST(LaOperationsTest, MinErrorThresholdAgreesWithABruteForceScan) {
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + static_cast<int>(random() % 40);
        // Few distinct ranks in half of the rounds, so that ties are common.
        const bool ties = round % 2 == 0;
        std::uniform_real_distribution<double> spread(-3, 3);
        std::vector<TypeParam> ranks, labels;
        for (int i = 0; i < n; ++i) {
            ranks.push_back(ties ? static_cast<TypeParam>(static_cast<int>(random() % 5) - 2)
                                 : static_cast<TypeParam>(spread(random)));
            labels.push_back(static_cast<TypeParam>(static_cast<int>(random() % 3) - 1));
        }
        SCOPED_TRACE(round);
        checkedThreshold(ranks, labels);
    }
}

TYPED_TEST(LaOperationsTest, MinErrorThresholdIsNeverNaN) {
    const TypeParam nan = std::numeric_limits<TypeParam>::quiet_NaN();
    auto ranks = vectorOf<TypeParam>({nan, 1, -1, nan});
    const TypeParam t = laMinErrorThreshold(*ranks, *vectorOf<TypeParam>({0, 0, 0, 0}));
    EXPECT_EQ(t, 1);
    EXPECT_EQ(ranks->getAt(2), -2);
    EXPECT_TRUE(std::isnan(ranks->getAt(0)));

    auto none = vectorOf<TypeParam>({nan});
    EXPECT_EQ(laMinErrorThreshold(*none, *vectorOf<TypeParam>({1})), 0);
    LaVector<TypeParam> empty(0);
    EXPECT_EQ(laMinErrorThreshold(empty, empty), 0);
}

}  // namespace

}  // namespace ovix
