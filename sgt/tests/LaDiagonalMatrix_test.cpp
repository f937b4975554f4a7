#include "sgt/LaDiagonalMatrix.h"

#include <gtest/gtest.h>

#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/MatrixFill.h"

namespace ovix {

namespace {

TEST(LaDiagonalMatrixTest, OnlyTheDiagonalIsStoredAndOnlyTheRowIsChecked) {
    LaDiagonalMatrix<float> d(3);
    d.fill(2);
    d.set(1, 1, 5);
    d.set(0, 2, 9);  // off the diagonal: ignored
    d.setAt(2, -1);
    EXPECT_TRUE(holds(d, {{2, 0, 0}, {0, 5, 0}, {0, 0, -1}}));
    EXPECT_EQ(d.get(1, 40), 0);
    EXPECT_INVARIANT_REPORT(d.get(3, 3), "LaDiagonalMatrix", 15, 3);
    EXPECT_INVARIANT_REPORT(d.getAt(-1), "LaDiagonalMatrix", 15, -1);
    EXPECT_INVARIANT_REPORT(d.set(4, 0, 1.0f), "LaDiagonalMatrix", 27, 4);
}

}  // namespace

}  // namespace ovix
