#pragma once
// A rows x cols member of the matrix family. Every operation here goes through
// the virtual get and set, so it works unchanged on dense, diagonal, block and
// sparse members. Element (i, j) is row i, column j, both from 0.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "sgt/LaEigen.h"

namespace ovix {

template <class T>
class LaMatrix : public LaEigen<T> {
public:
    T element(int i, int j) const override { return get(i, j); }
    int dimension() const override { return m_rows; }
    // y = A x through get, the matrix taken as dimension() x dimension();
    // sums in double.
    void multiply(const double* x, double* y) const override;
    ~LaMatrix() override = default;

    virtual void set(int i, int j, T v) = 0;
    virtual T get(int i, int j) const = 0;
    // Every element becomes v.
    virtual void fill(T v);
    // Every element x becomes v x.
    virtual void scale(T v);
    // Every element x becomes v + x.
    virtual void addScalar(T v);
    // Maps the range of the elements linearly onto [low, high]; when all
    // elements are equal they all become low.
    virtual void rescale(T low, T high);
    // this = A A^T; this must be A.rows x A.rows. Sums in T.
    virtual void setProductWithTranspose(const LaMatrix& A);
    // this = A B; this must be A.rows x B.cols and A.cols == B.rows. Sums in T.
    // Neither A nor B may be this object.
    virtual void setProduct(const LaMatrix& A, const LaMatrix& B);
    // Orders the rows by ascending `keys` (rows of them; NaN last, equal keys
    // in no defined order) and permutes `keys` and the companions (rows
    // entries each, either may be null) the same way; a square matrix has its
    // columns permuted too. Does nothing when `keys` is null.
    virtual void sortRows(T* keys, std::int32_t* companion1, std::int32_t* companion2);
    // A table with a header line of column numbers and one line per row, to
    // `f` or, when it is null, to the standard error stream.
    virtual void print(std::FILE* f) const;
    // One line per row, " %f" per element. Returns 0 when the whole file was
    // written, EOF when it could not be created or written.
    virtual int writeText(const char* path) const;

    int rowCount() const { return m_rows; }
    int colCount() const { return m_cols; }

protected:
    LaMatrix(int rows, int cols) : m_rows(rows), m_cols(cols) {}

    // rows x cols as a size_t; throws std::length_error for a negative size.
    static std::size_t elementCount(int rows, int cols);

    int m_rows;
    int m_cols;
};

extern template class LaMatrix<float>;
extern template class LaMatrix<double>;

}  // namespace ovix
