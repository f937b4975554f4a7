#include "sgt/LaDenseMatrix.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "sgt/tests/InvariantReport.h"

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

}  // namespace
