#pragma once
// A column vector: n x 1, n elements of T on the heap. Element (i, j) is
// element i whatever j is; no index is checked.

#include <memory>

#include "sgt/LaMatrix.h"

namespace ovix {

template <class T>
class LaVector : public LaMatrix<T> {
public:
    // n zeros. Throws std::length_error for a negative n.
    explicit LaVector(int n);
    ~LaVector() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;
    // Element i.
    virtual T getAt(int i) const;
    virtual void setAt(int i, T v);

private:
    std::unique_ptr<T[]> m_data;
};

extern template class LaVector<float>;
extern template class LaVector<double>;

}  // namespace ovix
