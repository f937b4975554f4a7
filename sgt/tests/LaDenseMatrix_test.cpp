#include "sgt/LaDenseMatrix.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/MatrixFill.h"

namespace ovix {

namespace {

TEST(LaDenseMatrixTest, IndicesOutsideTheMatrixAreBrokenInvariants) {
    LaDenseMatrix<float> m(3, 4);
    EXPECT_INVARIANT_REPORT(m.get(3, 0), "LaDenseMatrix", 27, 3);
    EXPECT_INVARIANT_REPORT(m.get(-1, 0), "LaDenseMatrix", 27, -1);
    EXPECT_INVARIANT_REPORT(m.element(0, 4), "LaDenseMatrix", 28, 4);
    EXPECT_INVARIANT_REPORT(m.set(5, 9, 1.0f), "LaDenseMatrix", 33, 5);
    EXPECT_INVARIANT_REPORT(m.set(2, -2, 1.0f), "LaDenseMatrix", 34, -2);
}

TEST(LaDenseMatrixTest, ByteCountBeyondThirtyTwoBits) {
    // 16384 x 16384 doubles are 2^31 bytes; only the pages written are touched.
    LaDenseMatrix<double> m(16384, 16384);
    m.set(16383, 16383, 7);
    m.set(16383, 0, 0.1);
    EXPECT_EQ(m.get(16383, 16383), 7);
    EXPECT_EQ(m.get(16383, 0), 0.1);
    EXPECT_EQ(m.get(16382, 16383), 0);
    EXPECT_THROW(LaDenseMatrix<float>(2, -3), std::length_error);
}

TEST(LaDenseMatrixTest, InvertGivesTheInverseOfANonSymmetricMatrix) {
    auto m = denseOf<double>({{1, 2, 3}, {0, 1, 4}, {5, 6, 0}});
    m->invert();
    const double inverse[3][3] = {{-24, 18, 5}, {20, -15, -4}, {-5, 4, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(m->get(i, j), inverse[i][j], 1e-12) << i << ", " << j;
    auto f = denseOf<float>({{4, 7}, {2, 6}});
    f->invert();
    EXPECT_FLOAT_EQ(f->get(0, 0), 0.6f);
    EXPECT_FLOAT_EQ(f->get(0, 1), -0.7f);
    EXPECT_FLOAT_EQ(f->get(1, 0), -0.2f);
    EXPECT_FLOAT_EQ(f->get(1, 1), 0.4f);
}

TEST(LaDenseMatrixTest, AMatrixThatCannotBeInvertedIsKept) {
    const auto failureOf = [](LaDenseMatrix<double>& m) -> std::string {
        try {
            m.invert();
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "no failure";
    };
    auto singular = denseOf<double>({{1, 2, 0}, {2, 4, 0}, {0, 0, 1}});
    EXPECT_EQ(failureOf(*singular), "sgt/LaDenseMatrix.h: 103: dgetrf failed: 2");
    EXPECT_TRUE(holds(*singular, {{1, 2, 0}, {2, 4, 0}, {0, 0, 1}}));
    auto wide = denseOf<double>({{1, 2, 3}, {4, 5, 6}});
    EXPECT_EQ(failureOf(*wide), "cannot invert a 2 x 3 matrix");
    EXPECT_TRUE(holds(*wide, {{1, 2, 3}, {4, 5, 6}}));
}

}  // namespace

}  // namespace ovix
