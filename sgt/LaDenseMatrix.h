#pragma once
// A dense rows x cols matrix. Its elements are doubles in a page-file-backed
// array, row-major, whatever T is: get converts to T, set widens T to double.

#include "sgt/LaMatrix.h"
#include "sgt/MappedArray.h"

namespace ovix {

template <class T>
class LaDenseMatrix : public LaMatrix<T> {
public:
    // rows x cols zeros. Throws std::length_error for a negative size and
    // std::bad_alloc when the array cannot be had.
    LaDenseMatrix(int rows, int cols);
    ~LaDenseMatrix() override = default;

    void set(int i, int j, T v) override;
    T get(int i, int j) const override;

    // Replaces the matrix, which must be square, by its inverse (LAPACK's
    // dgetrf and dgetri). A singular matrix throws std::runtime_error
    // "sgt/LaDenseMatrix.h: CHECK: dgetrf failed: INFO" (or dgetri's) and
    // leaves the matrix as it was; so does a matrix that is not square.
    void invert();

    // Saves the matrix as a document-vector file of `format` (DocVecFormat):
    // row i is the record of id i, label 0, with one entry per non-zero
    // element (the column as its feature id, the value as a float). Throws
    // std::runtime_error when the file cannot be created or written.
    void writeFile(const char* path, int format) const;
    // Replaces the matrix by one saved with writeFile: a row per record, and
    // columns up to the largest entry id (at least one column). The whole file
    // is checked before anything changes: when it cannot be opened or read,
    // is not a regular file, its records are not numbered 0, 1, ... in order,
    // or an entry lies in a column beyond its rows (a column per eigenvector,
    // a row per document), std::runtime_error is thrown and the matrix stays
    // as it was. The decomposition is kept.
    void readFile(const char* path, int format);

private:
    MappedArray<double> m_data;  // rows x cols, element (i, j) at i * cols + j
};

extern template class LaDenseMatrix<float>;
extern template class LaDenseMatrix<double>;

}  // namespace ovix
