#include "classifier/LaPredictMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "sgt/LaDiagonalMatrix.h"
#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/MatrixFill.h"

namespace ovix {

namespace {

template <class T>
class LaPredictMatrixTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LaPredictMatrixTest, ElementTypes);

TYPED_TEST(LaPredictMatrixTest, BlocksAreGMinusIdentityBAndGReadSymmetrically) {
    // Only the lower triangles count: the upper ones differ on purpose.
    auto G = denseOf<TypeParam>({{1, 90, 91}, {2, 3, 92}, {4, 5, 6}});
    auto B = denseOf<TypeParam>({{-1, 80, 81}, {-2, -3, 82}, {-4, -5, -6}});
    LaPredictMatrix<TypeParam> P(*G, *B);
    EXPECT_EQ(P.rowCount(), 6);
    EXPECT_EQ(P.colCount(), 6);
    EXPECT_TRUE(holds(P, {{1, 2, 4, -1, 0, 0},
                          {2, 3, 5, 0, -1, 0},
                          {4, 5, 6, 0, 0, -1},
                          {-1, -2, -4, 1, 2, 4},
                          {-2, -3, -5, 2, 3, 5},
                          {-4, -5, -6, 4, 5, 6}}));
}

TYPED_TEST(LaPredictMatrixTest, WritesGoToTheSharedPackedBlocks) {
    auto G = denseOf<TypeParam>({{1, 0}, {2, 3}});
    auto B = denseOf<TypeParam>({{-1, 0}, {-2, -3}});
    LaPredictMatrix<TypeParam> P(*G, *B);
    P.set(0, 2, 5);  // the -I block: ignored
    EXPECT_EQ(P.get(0, 2), -1);
    EXPECT_EQ(P.get(1, 2), 0);
    P.set(1, 0, 7);  // (0, 1) reads the same element
    EXPECT_EQ(P.get(0, 1), 7);
    EXPECT_EQ(P.get(3, 2), 7);  // and so does the lower right G block
    P.set(2, 1, 9);             // B above its diagonal is B below it
    EXPECT_EQ(P.get(3, 0), 9);
    EXPECT_EQ(P.get(2, 1), 9);
    EXPECT_EQ(P.get(0, 1), 7);
    EXPECT_EQ(G->get(1, 0), 2);  // G and B themselves are copies
}

TYPED_TEST(LaPredictMatrixTest, MultiplyIsTheProductThroughGetToTheLastBit) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> value(-3, 3);
    for (const int n : {1, 2, 7, 33}) {
        LaDenseMatrix<TypeParam> G(n, n), B(n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                G.set(i, j, static_cast<TypeParam>(value(random)));
                B.set(i, j, static_cast<TypeParam>(value(random)));
            }
        const LaPredictMatrix<TypeParam> P(G, B);
        std::vector<double> x(2 * static_cast<std::size_t>(n)), fast(x.size()), throughGet(x.size());
        for (double& v : x)
            v = value(random);
        P.multiply(x.data(), fast.data());
        P.LaMatrix<TypeParam>::multiply(x.data(), throughGet.data());
        EXPECT_EQ(fast, throughGet) << n;
    }
}

TYPED_TEST(LaPredictMatrixTest, GOfAnyKindAndShapeChecks) {
    LaDiagonalMatrix<TypeParam> G(2);
    G.fill(4);
    auto B = denseOf<TypeParam>({{1, 0}, {0, 1}});
    LaPredictMatrix<TypeParam> P(G, *B);
    EXPECT_EQ(P.get(3, 3), 4);
    EXPECT_EQ(P.get(2, 3), 0);

    LaDenseMatrix<TypeParam> wide(2, 3), tall(3, 2), square3(3, 3);
    EXPECT_INVARIANT_REPORT(LaPredictMatrix<TypeParam>(wide, *B), "LaPredictMatrix", 106, 3);
    EXPECT_INVARIANT_REPORT(LaPredictMatrix<TypeParam>(G, tall), "LaPredictMatrix", 107, 3);
    EXPECT_INVARIANT_REPORT(LaPredictMatrix<TypeParam>(G, wide), "LaPredictMatrix", 108, 3);
    EXPECT_INVARIANT_REPORT(LaPredictMatrix<TypeParam>(square3, *B), "LaPredictMatrix", 107, 2);
}

// The transducer asks for the one eigenvalue of smallest real part of its
// non-symmetric block matrix [[G, -I], [B, G]].
TEST(ArpackAgainstLapack, OneEigenvalueOfANonSymmetricBlockMatrix) {
    const int m = 12;
    std::mt19937 draw(3);
    std::uniform_real_distribution<double> value(-1, 1);
    LaDenseMatrix<double> G(m, m), B(m, m);
    std::vector<double> b(m);
    for (double& x : b)
        x = value(draw);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j <= i; ++j) {
            const double g = value(draw) + (i == j ? (i + 1) * (i + 1) : 0);
            G.set(i, j, g);
            G.set(j, i, g);
            B.set(i, j, -b[i] * b[j] / 40);
            B.set(j, i, -b[i] * b[j] / 40);
        }
    LaPredictMatrix<double> iterative(G, B), dense(G, B);
    ASSERT_GE(iterative.decomposeArpack(1, iterative, 0, 0), 1);
    ASSERT_EQ(dense.decomposeGeev(1, dense, 0), 1);
    EXPECT_NEAR(iterative.eigenvalue(0), dense.eigenvalue(0), 1e-9);
    EXPECT_NEAR(std::fabs(iterative.eigenvalueImag(0)), std::fabs(dense.eigenvalueImag(0)), 1e-9);
}

}  // namespace

}  // namespace ovix
