#include "sgt/LaVectorT.h"

namespace ovix {

template <class T>
LaVectorT<T>::LaVectorT(int n) : LaMatrix<T>(1, n), m_data(std::make_unique<T[]>(LaMatrix<T>::elementCount(1, n))) {}

template <class T>
void LaVectorT<T>::set(int, int j, T v) {
    m_data[j] = v;
}

template <class T>
T LaVectorT<T>::get(int, int j) const {
    return m_data[j];
}

template <class T>
T LaVectorT<T>::getAt(int i) const {
    return get(i, i);
}

template <class T>
void LaVectorT<T>::setAt(int i, T v) {
    set(i, i, v);
}

template class LaVectorT<float>;
template class LaVectorT<double>;

}  // namespace ovix
