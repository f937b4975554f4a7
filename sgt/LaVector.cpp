#include "sgt/LaVector.h"

namespace ovix {

template <class T>
LaVector<T>::LaVector(int n) : LaMatrix<T>(n, 1), m_data(std::make_unique<T[]>(LaMatrix<T>::elementCount(n, 1))) {}

template <class T>
void LaVector<T>::set(int i, int, T v) {
    m_data[i] = v;
}

template <class T>
T LaVector<T>::get(int i, int) const {
    return m_data[i];
}

template <class T>
T LaVector<T>::getAt(int i) const {
    return get(i, i);
}

template <class T>
void LaVector<T>::setAt(int i, T v) {
    m_data[i] = v;
}

template class LaVector<float>;
template class LaVector<double>;

}  // namespace ovix
