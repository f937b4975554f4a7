#include "sgt/Lapack.h"

// Debian's LAPACK is a gfortran build: lapack.h passes the hidden lengths of
// the character arguments for us.
#include <lapack.h>

namespace ovix::lapack {
namespace {

char job(bool vectors) {
    return vectors ? 'V' : 'N';
}

}  // namespace

int dgeev(bool vectors, int n, double* a, int lda, double* wr, double* wi, double* vr, int ldvr, double* work,
          int lwork) {
    const char jobvl = 'N';
    const char jobvr = job(vectors);
    const int ldvl = 1;
    int info = 0;
    LAPACK_dgeev(&jobvl, &jobvr, &n, a, &lda, wr, wi, nullptr, &ldvl, vr, &ldvr, work, &lwork, &info);
    return info;
}

int dspev(bool vectors, int n, double* ap, double* w, double* z, int ldz, double* work) {
    const char jobz = job(vectors);
    const char uplo = 'L';
    int info = 0;
    LAPACK_dspev(&jobz, &uplo, &n, ap, w, z, &ldz, work, &info);
    return info;
}

int dgetrf(int m, int n, double* a, int lda, int* ipiv) {
    int info = 0;
    LAPACK_dgetrf(&m, &n, a, &lda, ipiv, &info);
    return info;
}

int dgetri(int n, double* a, int lda, const int* ipiv, double* work, int lwork) {
    int info = 0;
    LAPACK_dgetri(&n, a, &lda, ipiv, work, &lwork, &info);
    return info;
}

}  // namespace ovix::lapack
