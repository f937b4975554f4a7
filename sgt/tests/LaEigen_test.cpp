#include "sgt/LaEigen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "sgt/LaDenseMatrix.h"
#include "sgt/tests/InvariantReport.h"

namespace ovix {

namespace {

// A 3 x 3 matrix that is handed a decomposition as a solver stores it:
// eigenvalues 5, -1, 2 in solver order, so that ranks 0, 1, 2 are solver
// indices 1, 2, 0.
template <class T>
class Decomposed : public LaDenseMatrix<T> {
public:
    Decomposed() : LaDenseMatrix<T>(3, 3) {}

    void store() {
        this->freeDecomposition();
        this->m_method = LaEigen<T>::methodGeev;
        this->m_nEigen = 3;
        this->m_eigReal = array<double>({5, -1, 2});
        this->m_eigImag = array<double>({0.5, -0.25, 0});
        this->m_order = array<int>({1, 2, 0});
        this->m_eigVec = MappedArray<double>(9);
        const double columns[] = {0, 1, -2, -3, 4, 5, 0.5, 0.25, -0.125};
        std::copy(std::begin(columns), std::end(columns), this->m_eigVec.data());
    }
    void forget() { this->freeDecomposition(); }
    void dropArrays() {
        this->m_eigReal.reset();
        this->m_eigImag.reset();
        this->m_eigVec = MappedArray<double>();
    }
    void dropMethod() { this->m_method = LaEigen<T>::methodNone; }

private:
    template <class E>
    static std::unique_ptr<E[]> array(std::initializer_list<E> values) {
        auto a = std::make_unique<E[]>(values.size());
        std::copy(values.begin(), values.end(), a.get());
        return a;
    }
};

template <class T>
class LaEigenTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LaEigenTest, ElementTypes);

TYPED_TEST(LaEigenTest, RanksReadThroughTheOrderTable) {
    Decomposed<TypeParam> m;
    EXPECT_EQ(m.eigenCount(), 0);
    m.store();
    EXPECT_EQ(m.eigenCount(), 3);
    EXPECT_EQ(m.eigenvalue(0), TypeParam(-1));
    EXPECT_EQ(m.eigenvalue(2), TypeParam(5));
    EXPECT_EQ(m.eigenvalueImag(0), TypeParam(-0.25));
    EXPECT_EQ(m.eigenvalueImag(2), TypeParam(0.5));
}

TYPED_TEST(LaEigenTest, EigenvectorsAreHandedOutWithANonNegativeFirstComponent) {
    Decomposed<TypeParam> m;
    m.store();
    // Rank 0 is column 1, first component negative: negated.
    EXPECT_EQ(m.eigenvector(0, 0), TypeParam(3));
    EXPECT_EQ(m.eigenvector(0, 2), TypeParam(-5));
    // Rank 1 is column 2, first component positive: as stored.
    EXPECT_EQ(m.eigenvector(1, 0), TypeParam(0.5));
    EXPECT_EQ(m.eigenvector(1, 2), TypeParam(-0.125));
    // Rank 2 is column 0, first component exactly 0: negated as well.
    EXPECT_EQ(m.eigenvector(2, 1), TypeParam(-1));
    EXPECT_EQ(m.eigenvector(2, 2), TypeParam(2));
}

TYPED_TEST(LaEigenTest, AccessorsRefuseWhatTheDecompositionLacks) {
    Decomposed<TypeParam> m;
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 71, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(2), "LaEigen", 84, 2);
    EXPECT_INVARIANT_REPORT(m.eigenvector(1, 0), "LaEigen", 97, 1);

    m.store();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(3), "LaEigen", 75, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(-1), "LaEigen", 88, -1);
    EXPECT_INVARIANT_REPORT(m.eigenvector(3, 0), "LaEigen", 101, 3);
    EXPECT_INVARIANT_REPORT(m.eigenvector(0, 3), "LaEigen", 105, 3);

    m.dropArrays();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 77, 1);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(0), "LaEigen", 90, 1);
    EXPECT_INVARIANT_REPORT(m.eigenvector(0, 0), "LaEigen", 103, 1);

    // The method is checked before the rank.
    m.dropMethod();
    EXPECT_INVARIANT_REPORT(m.eigenvalue(7), "LaEigen", 73, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalueImag(7), "LaEigen", 86, 0);
    EXPECT_INVARIANT_REPORT(m.eigenvector(7, 0), "LaEigen", 99, 0);

    m.store();
    m.forget();
    EXPECT_EQ(m.eigenCount(), 0);
    EXPECT_INVARIANT_REPORT(m.eigenvalue(0), "LaEigen", 71, 0);
}

}  // namespace

}  // namespace ovix
