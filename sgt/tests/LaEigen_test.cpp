#include "sgt/LaEigen.h"

#include <gtest/gtest.h>

#include <vector>

#include "sgt/LaDenseMatrix.h"
#include "sgt/tests/InvariantReport.h"

namespace {

// A dense matrix that is handed a decomposition as a solver would store it.
template <class T>
class Decomposed : public LaDenseMatrix<T> {
public:
    explicit Decomposed(int n) : LaDenseMatrix<T>(n, n) {}

    // Eigenvalues and eigenvector columns (dimension() each) in solver order,
    // and the rank -> solver index table.
    void store(const std::vector<double>& real, const std::vector<double>& imag,
               const std::vector<std::vector<double>>& columns, const std::vector<int>& order) {
        this->freeDecomposition();
        this->method = LaEigen<T>::methodGeev;
        this->nEigen = static_cast<int>(order.size());
        this->eigReal = copy(real);
        this->eigImag = copy(imag);
        const auto n = static_cast<std::size_t>(this->dimension());
        this->eigVec = MappedArray<double>(n * columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c)
            for (std::size_t j = 0; j < n; ++j)
                this->eigVec[c * n + j] = columns[c][j];
        this->order = std::make_unique<int[]>(order.size());
        std::copy(order.begin(), order.end(), this->order.get());
    }
    void dropOrder() { this->order.reset(); }
    void dropMethod() { this->method = LaEigen<T>::methodNone; }
    void dropReal() { this->eigReal.reset(); }
    void dropImag() { this->eigImag.reset(); }
    void dropVectors() { this->eigVec = MappedArray<double>(); }
    void forget() { this->freeDecomposition(); }

private:
    static std::unique_ptr<double[]> copy(const std::vector<double>& values) {
        auto array = std::make_unique<double[]>(values.size());
        std::copy(values.begin(), values.end(), array.get());
        return array;
    }
};

// Three eigenpairs of a 3 x 3 matrix, solver order: eigenvalues 5, -1, 2.
template <class T>
void storeThree(Decomposed<T>& m) {
    m.store({5, -1, 2}, {0.5, -0.25, 0}, {{0, 1, -2}, {-3, 4, 5}, {0.5, 0.25, -0.125}}, {1, 2, 0});
}

template <class T>
class LaEigenTest : public testing::Test {};
using ElementTypes = testing::Types<float, double>;
TYPED_TEST_SUITE(LaEigenTest, ElementTypes);

TYPED_TEST(LaEigenTest, FreshObjectHoldsNoDecomposition) {
    Decomposed<TypeParam> m(3);
    EXPECT_EQ(m.eigenCount(), 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 71, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(2), "LaEigen", 84, 2);
    EXPECT_INVARIANT_REPORT(m.eigenvector(1, 0), "LaEigen", 97, 1);
}

TYPED_TEST(LaEigenTest, RanksReadThroughTheOrderTable) {
    Decomposed<TypeParam> m(3);
    storeThree(m);
    EXPECT_EQ(m.eigenCount(), 3);
    EXPECT_EQ(m.eigenvalue(0), TypeParam(-1));
    EXPECT_EQ(m.eigenvalue(1), TypeParam(2));
    EXPECT_EQ(m.eigenvalue(2), TypeParam(5));
    EXPECT_EQ(m.eigenvalueImag(0), TypeParam(-0.25));
    EXPECT_EQ(m.eigenvalueImag(1), TypeParam(0));
    EXPECT_EQ(m.eigenvalueImag(2), TypeParam(0.5));
}

TYPED_TEST(LaEigenTest, EigenvectorsAreHandedOutWithANonNegativeFirstComponent) {
    Decomposed<TypeParam> m(3);
    storeThree(m);
    // Rank 0 is column 1, whose first component is negative: negated.
    EXPECT_EQ(m.eigenvector(0, 0), TypeParam(3));
    EXPECT_EQ(m.eigenvector(0, 1), TypeParam(-4));
    EXPECT_EQ(m.eigenvector(0, 2), TypeParam(-5));
    // Rank 1 is column 2, first component positive: as stored.
    EXPECT_EQ(m.eigenvector(1, 0), TypeParam(0.5));
    EXPECT_EQ(m.eigenvector(1, 2), TypeParam(-0.125));
    // Rank 2 is column 0, first component exactly 0: negated as well.
    EXPECT_EQ(m.eigenvector(2, 1), TypeParam(-1));
    EXPECT_EQ(m.eigenvector(2, 2), TypeParam(2));
}

TYPED_TEST(LaEigenTest, AccessorsRefuseWhatTheDecompositionLacks) {
    Decomposed<TypeParam> m(3);
    storeThree(m);
    EXPECT_INVARIANT_REPORT(m.eigenvalue(3), "LaEigen", 75, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvalue(-1), "LaEigen", 75, -1);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(3), "LaEigen", 88, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvector(3, 0), "LaEigen", 101, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvector(0, 3), "LaEigen", 105, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvector(0, -1), "LaEigen", 105, -1);

    m.dropReal();
    m.dropImag();
    m.dropVectors();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 77, 1);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(0), "LaEigen", 90, 1);
    EXPECT_INVARIANT_REPORT(m.eigenvector(0, 0), "LaEigen", 103, 1);

    // The method is checked before the rank, the order before both.
    m.dropMethod();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(7), "LaEigen", 73, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(7), "LaEigen", 86, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvector(7, 0), "LaEigen", 99, 0);
    m.dropOrder();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(7), "LaEigen", 71, 7);
}

TYPED_TEST(LaEigenTest, FreedDecompositionIsGoneWhole) {
    Decomposed<TypeParam> m(3);
    storeThree(m);
    m.forget();
    EXPECT_EQ(m.eigenCount(), 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 71, 0);
    // A new decomposition replaces it.
    m.store({7}, {0}, {{1, 2, 3}}, {0});
    EXPECT_EQ(m.eigenvalue(0), TypeParam(7));
    EXPECT_EQ(m.eigenvector(0, 2), TypeParam(3));
}

}  // namespace
