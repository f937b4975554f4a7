#pragma once
// A row vector: 1 x n, n elements of T on the heap. Element (i, j) is
// element j whatever i is; no index is checked.

#include <memory>

#include "sgt/LaMatrix.h"

namespace ovix {

template <class T>
class LaVectorT : public LaMatrix<T> {
public:
    // n zeros. Throws std::length_error for a negative n.
    explicit LaVectorT(int n);
    ~LaVectorT() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;
    // Element i.
    virtual T getAt(int i) const;
    virtual void setAt(int i, T v);

private:
    std::unique_ptr<T[]> m_data;
};

extern template class LaVectorT<float>;
extern template class LaVectorT<double>;

}  // namespace ovix
