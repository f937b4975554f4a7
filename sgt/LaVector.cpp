#include "sgt/LaVector.h"

namespace ovix {

template <class T, LaVectorShape shape>
LaVectorOf<T, shape>::LaVectorOf(int n)
    : LaMatrix<T>(shape == LaVectorShape::column ? n : 1, shape == LaVectorShape::column ? 1 : n),
      m_data(std::make_unique<T[]>(LaMatrix<T>::elementCount(this->rowCount(), this->colCount()))) {}

template <class T, LaVectorShape shape>
void LaVectorOf<T, shape>::set(int i, int j, T v) {
    m_data[slot(i, j)] = v;
}

template <class T, LaVectorShape shape>
T LaVectorOf<T, shape>::get(int i, int j) const {
    return m_data[slot(i, j)];
}

template <class T, LaVectorShape shape>
T LaVectorOf<T, shape>::getAt(int i) const {
    return m_data[i];
}

template <class T, LaVectorShape shape>
void LaVectorOf<T, shape>::setAt(int i, T v) {
    m_data[i] = v;
}

template class LaVectorOf<float, LaVectorShape::column>;
template class LaVectorOf<double, LaVectorShape::column>;
template class LaVectorOf<float, LaVectorShape::row>;
template class LaVectorOf<double, LaVectorShape::row>;

}  // namespace ovix
