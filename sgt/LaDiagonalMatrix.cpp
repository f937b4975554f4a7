#include "sgt/LaDiagonalMatrix.h"

#include "sgt/Invariant.h"

namespace ovix {

namespace {

enum class LaDiagonalMatrixCheck {
    getRow = 15,  // row outside the matrix
    setRow = 27,
};

constexpr const char* checkSource(LaDiagonalMatrixCheck) {
    return "sgt/LaDiagonalMatrix.h";
}

}  // namespace

template <class T>
LaDiagonalMatrix<T>::LaDiagonalMatrix(int n)
    : LaMatrix<T>(n, n), m_data(std::make_unique<T[]>(LaMatrix<T>::elementCount(n, 1))) {}

template <class T>
T LaDiagonalMatrix<T>::get(int i, int j) const {
    checkInvariant(i >= 0 && i < this->m_rows, LaDiagonalMatrixCheck::getRow, i);
    return i == j ? m_data[i] : T{0};
}

template <class T>
void LaDiagonalMatrix<T>::set(int i, int j, T v) {
    checkInvariant(i >= 0 && i < this->m_rows, LaDiagonalMatrixCheck::setRow, i);
    if (i == j)
        m_data[i] = v;
}

template <class T>
void LaDiagonalMatrix<T>::fill(T v) {
    for (int i = 0; i < this->m_rows; ++i)
        set(i, i, v);
}

template <class T>
T LaDiagonalMatrix<T>::getAt(int i) const {
    return get(i, i);
}

template <class T>
void LaDiagonalMatrix<T>::setAt(int i, T v) {
    set(i, i, v);
}

template class LaDiagonalMatrix<float>;
template class LaDiagonalMatrix<double>;

}  // namespace ovix
