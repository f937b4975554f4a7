#pragma once
// The 2n x 2n block matrix [[G, -I], [B, G]] of two n x n matrices, which
// never stores its (2n)^2 elements: it keeps the lower triangles of G and B,
// packed, and reads each block as symmetric. Indices are not checked.

#include <memory>

#include "sgt/LaDenseMatrix.h"
#include "sgt/LaMatrix.h"

namespace ovix {

template <class T>
class LaPredictMatrix : public LaMatrix<T> {
public:
    // G must be square and B of G's size: broken invariants otherwise.
    LaPredictMatrix(const LaMatrix<T>& G, const LaDenseMatrix<T>& B);
    ~LaPredictMatrix() override = default;

    // A write to one of the G blocks changes both; a write to the -I block
    // is ignored.
    void set(int a, int b, T v) override;
    T get(int a, int b) const override;
    // y = P x, block by block: the same sums, in the same order, as the
    // product through get, without a call per element.
    void multiply(const double* x, double* y) const override;

private:
    LaPredictMatrix(const LaMatrix<T>& G, const LaDenseMatrix<T>& B, int n);

    // The element of the packed lower triangles at (x, y) or (y, x), for the
    // block that holds (a, b); null for the -I block.
    T* cell(int a, int b) const;
    // sum += (row r of the packed block) x, over the block's n columns.
    void addRowProduct(const T* block, int r, const double* x, double& sum) const;

    std::unique_ptr<T[]> m_blockG;  // n (n + 1) / 2 elements
    std::unique_ptr<T[]> m_blockB;
    int m_half;  // n
};

extern template class LaPredictMatrix<float>;
extern template class LaPredictMatrix<double>;

}  // namespace ovix
