#pragma once
// A diagonal n x n matrix: only its n diagonal elements are stored (T, on the
// heap). Off the diagonal get gives 0 and set changes nothing. The row index
// must lie inside the matrix; the column index is not checked.

#include <memory>

#include "sgt/LaMatrix.h"

namespace ovix {

template <class T>
class LaDiagonalMatrix : public LaMatrix<T> {
public:
    // n x n zeros. Throws std::length_error for a negative n.
    explicit LaDiagonalMatrix(int n);
    ~LaDiagonalMatrix() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;
    // Every diagonal element becomes v.
    void fill(T v) override;
    // Diagonal element i.
    virtual T getAt(int i) const;
    virtual void setAt(int i, T v);

private:
    std::unique_ptr<T[]> m_data;
};

extern template class LaDiagonalMatrix<float>;
extern template class LaDiagonalMatrix<double>;

}  // namespace ovix
