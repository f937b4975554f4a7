#include "sgt/LaDiagonalMatrix.h"

#include <gtest/gtest.h>

#include "sgt/LaVector.h"
#include "sgt/LaVectorT.h"
#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/MatrixFill.h"

namespace {

TEST(LaDiagonalMatrixTest, OnlyTheDiagonalIsStored) {
    LaDiagonalMatrix<float> d(3);
    d.fill(2);
    d.set(1, 1, 5);
    d.set(0, 2, 9);  // off the diagonal: ignored
    d.setAt(2, -1);
    EXPECT_TRUE(holds(d, {{2, 0, 0}, {0, 5, 0}, {0, 0, -1}}));
    EXPECT_EQ(d.getAt(1), 5);
    // The column is not checked: off the diagonal is 0 wherever it is.
    EXPECT_EQ(d.get(1, 40), 0);
}

TEST(LaDiagonalMatrixTest, RowsOutsideTheMatrixAreBrokenInvariants) {
    LaDiagonalMatrix<double> d(3);
    EXPECT_INVARIANT_REPORT(d.get(3, 3), "LaDiagonalMatrix", 15, 3);
    EXPECT_INVARIANT_REPORT(d.getAt(-1), "LaDiagonalMatrix", 15, -1);
    EXPECT_INVARIANT_REPORT(d.set(4, 0, 1.0), "LaDiagonalMatrix", 27, 4);
    EXPECT_INVARIANT_REPORT(d.setAt(3, 1.0), "LaDiagonalMatrix", 27, 3);
}

TEST(LaVectorTest, ColumnAndRowVectorsIgnoreTheOtherIndex) {
    LaVector<double> column(3);
    LaVectorT<double> row(3);
    EXPECT_EQ(column.rowCount(), 3);
    EXPECT_EQ(column.colCount(), 1);
    EXPECT_EQ(row.rowCount(), 1);
    EXPECT_EQ(row.colCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(column.getAt(i), 0);
        EXPECT_EQ(row.getAt(i), 0);
    }
    column.set(1, 7, 4.5);
    row.set(7, 1, 4.5);
    column.setAt(2, -1);
    row.setAt(2, -1);
    EXPECT_EQ(column.get(1, 0), 4.5);
    EXPECT_EQ(row.get(0, 1), 4.5);
    EXPECT_EQ(column.getAt(2), -1);
    EXPECT_EQ(row.get(5, 2), -1);
}

}  // namespace
