#pragma once
// The LAPACK routines that the engine calls, in plain C++ terms: matrices are
// column-major doubles with a leading dimension, and every routine returns
// LAPACK's INFO (0 success, -i argument i was illegal, > 0 the routine's own
// failure). A `lwork` of -1 asks for the best workspace size, which is left in
// work[0]. Nothing outside Lapack.cpp sees the Fortran calling convention.

namespace ovix::lapack {

// Eigenvalues (wr + i wi) and, when `vectors`, the right eigenvectors (the
// columns of vr, ldvr x n) of the general n x n matrix a, which is destroyed.
// Without vectors vr is not referenced and ldvr may be 1.
int dgeev(bool vectors, int n, double* a, int lda, double* wr, double* wi, double* vr, int ldvr, double* work,
          int lwork);

// Eigenvalues (w, ascending) and, when `vectors`, the eigenvectors (the columns
// of z, ldz x n) of the symmetric n x n matrix whose lower triangle is packed
// column by column in ap (n(n+1)/2 doubles, destroyed). work: 3n doubles.
int dspev(bool vectors, int n, double* ap, double* w, double* z, int ldz, double* work);

// LU factorisation with partial pivoting of the m x n matrix a, in place;
// ipiv receives min(m, n) 1-based row interchanges.
int dgetrf(int m, int n, double* a, int lda, int* ipiv);

// The inverse of the n x n matrix that dgetrf factorised into a and ipiv, in
// place.
int dgetri(int n, double* a, int lda, const int* ipiv, double* work, int lwork);

}  // namespace ovix::lapack
