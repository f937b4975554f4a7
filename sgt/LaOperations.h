#pragma once
// Operations on members of the matrix family that make or change more than
// one object. Results are new objects owned by the caller.

#include <memory>

#include "sgt/LaDenseMatrix.h"
#include "sgt/LaDiagonalMatrix.h"
#include "sgt/LaMatrix.h"
#include "sgt/LaVector.h"

namespace ovix {

// The row vector with v's elements.
template <class T>
std::unique_ptr<LaVectorT<T>> transpose(const LaVector<T>& v);

// V^T K V: V.cols x V.cols, symmetric. K must have at least V.rows rows; the
// rows of V where K is 0 take no part. Sums in T, over the rows of V in order.
template <class T>
std::unique_ptr<LaDenseMatrix<T>> laTransposeDiagProduct(const LaMatrix<T>& V, const LaDiagonalMatrix<T>& K);

// V^T K g: V.cols elements. K and g must have at least V.rows rows; the rows
// of V where K is 0 take no part. Sums in T, over the rows of V in order.
template <class T>
std::unique_ptr<LaVector<T>> laTransposeDiagVector(const LaMatrix<T>& V, const LaDiagonalMatrix<T>& K,
                                                   const LaVector<T>& g);

// A(i, i) += D(i, i) for i below min(A.rows, A.cols); D must be that large.
template <class T>
void laAddDiagonal(LaMatrix<T>& A, const LaDiagonalMatrix<T>& D);

// Moves the ranks so that 0 is the threshold of least training error and
// returns the amount t subtracted from each. A rank above the threshold
// predicts positive; the error of a threshold is the number of positive
// labels (above 0) at or below it plus the number of negative labels (below
// 0) above it; labels of 0 do not count. The candidates are every rank and a
// value below all of them; t is the highest candidate of least error. A NaN
// rank is never the threshold. labels has at least ranks.rows elements.
template <class T>
T laMinErrorThreshold(LaVector<T>& ranks, const LaVector<T>& labels);

}  // namespace ovix
