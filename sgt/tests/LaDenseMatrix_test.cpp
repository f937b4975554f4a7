#include "sgt/LaDenseMatrix.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "sgt/tests/InvariantReport.h"

namespace {

TEST(LaDenseMatrixTest, ElementsAreDoublesWhateverTheElementType) {
    LaDenseMatrix<float> f(2, 3);
    LaDenseMatrix<double> d(2, 3);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(f.get(i, j), 0.0f);
            EXPECT_EQ(d.get(i, j), 0.0);
        }
    d.set(1, 2, 0.1);
    EXPECT_EQ(d.get(1, 2), 0.1);
    EXPECT_EQ(d.get(0, 2), 0.0);
    f.set(1, 2, 0.1f);
    EXPECT_EQ(f.get(1, 2), 0.1f);
    EXPECT_EQ(f.rowCount(), 2);
    EXPECT_EQ(f.colCount(), 3);
    EXPECT_EQ(f.dimension(), 2);
}

TEST(LaDenseMatrixTest, IndicesOutsideTheMatrixAreBrokenInvariants) {
    LaDenseMatrix<float> m(3, 4);
    EXPECT_INVARIANT_REPORT(m.get(3, 0), "LaDenseMatrix", 27, 3);
    EXPECT_INVARIANT_REPORT(m.get(-1, 0), "LaDenseMatrix", 27, -1);
    EXPECT_INVARIANT_REPORT(m.get(0, 4), "LaDenseMatrix", 28, 4);
    EXPECT_INVARIANT_REPORT(m.set(5, 9, 1.0f), "LaDenseMatrix", 33, 5);
    EXPECT_INVARIANT_REPORT(m.set(2, -2, 1.0f), "LaDenseMatrix", 34, -2);
    // The solvers read through element, which is get.
    EXPECT_INVARIANT_REPORT(m.element(0, 7), "LaDenseMatrix", 28, 7);
}

TEST(LaDenseMatrixTest, ByteCountBeyondThirtyTwoBits) {
    // 16384 x 16384 doubles are 2^31 bytes; the mapping is not touched but
    // for the two pages written here.
    LaDenseMatrix<double> m(16384, 16384);
    m.set(16383, 16383, 7);
    m.set(16383, 0, 3);
    EXPECT_EQ(m.get(16383, 16383), 7);
    EXPECT_EQ(m.get(16383, 0), 3);
    EXPECT_EQ(m.get(16382, 16383), 0);
    EXPECT_EQ(m.get(0, 0), 0);
}

TEST(LaDenseMatrixTest, NegativeSizeIsRefused) {
    EXPECT_THROW(LaDenseMatrix<double>(-1, 0), std::length_error);
    EXPECT_THROW(LaDenseMatrix<float>(2, -3), std::length_error);
}

}  // namespace
