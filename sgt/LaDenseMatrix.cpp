#include "sgt/LaDenseMatrix.h"

#include <cstddef>

#include "sgt/Invariant.h"

namespace {

constexpr const char* kHeader = "sgt/LaDenseMatrix.h";

}  // namespace

template <class T>
LaDenseMatrix<T>::LaDenseMatrix(int rows, int cols)
    : LaMatrix<T>(rows, cols), data(LaMatrix<T>::elementCount(rows, cols)) {}

template <class T>
T LaDenseMatrix<T>::get(int i, int j) const {
    ovix::checkInvariant(i >= 0 && i < this->rows, kHeader, 27, i);
    ovix::checkInvariant(j >= 0 && j < this->cols, kHeader, 28, j);
    return static_cast<T>(data[static_cast<std::size_t>(i) * static_cast<std::size_t>(this->cols) + j]);
}

template <class T>
void LaDenseMatrix<T>::set(int i, int j, T v) {
    ovix::checkInvariant(i >= 0 && i < this->rows, kHeader, 33, i);
    ovix::checkInvariant(j >= 0 && j < this->cols, kHeader, 34, j);
    data[static_cast<std::size_t>(i) * static_cast<std::size_t>(this->cols) + j] = v;
}

template class LaDenseMatrix<float>;
template class LaDenseMatrix<double>;
