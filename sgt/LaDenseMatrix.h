#pragma once
// A dense rows x cols matrix. Its elements are doubles in a page-file-backed
// array, row-major, whatever T is: get converts to T, set widens T to double.

#include "sgt/LaMatrix.h"
#include "sgt/MappedArray.h"

template <class T>
class LaDenseMatrix : public LaMatrix<T> {
public:
    // rows x cols zeros. Throws std::length_error for a negative size and
    // std::bad_alloc when the array cannot be had.
    LaDenseMatrix(int rows, int cols);
    ~LaDenseMatrix() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;

private:
    MappedArray<double> data;  // rows x cols, element (i, j) at i * cols + j
};

extern template class LaDenseMatrix<float>;
extern template class LaDenseMatrix<double>;
