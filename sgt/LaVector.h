#pragma once
// A vector of the matrix family, n elements of T on the heap: a column
// (LaVector, n x 1: element (i, j) is element i whatever j is) or a row
// (LaVectorT, 1 x n: element (i, j) is element j whatever i is). No index is
// checked.

#include <memory>

#include "sgt/LaMatrix.h"

namespace ovix {

enum class LaVectorShape { column, row };

template <class T, LaVectorShape shape>
class LaVectorOf : public LaMatrix<T> {
public:
    // n zeros. Throws std::length_error for a negative n.
    explicit LaVectorOf(int n);
    ~LaVectorOf() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;
    // Element i.
    virtual T getAt(int i) const;
    virtual void setAt(int i, T v);

private:
    // Where the element at (i, j) is kept.
    static int slot(int i, int j) { return shape == LaVectorShape::column ? i : j; }

    std::unique_ptr<T[]> m_data;
};

template <class T>
using LaVector = LaVectorOf<T, LaVectorShape::column>;
template <class T>
using LaVectorT = LaVectorOf<T, LaVectorShape::row>;

extern template class LaVectorOf<float, LaVectorShape::column>;
extern template class LaVectorOf<double, LaVectorShape::column>;
extern template class LaVectorOf<float, LaVectorShape::row>;
extern template class LaVectorOf<double, LaVectorShape::row>;

}  // namespace ovix
