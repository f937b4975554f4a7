// The dense solvers of LaEigen: LAPACK's dgeev for a general matrix and
// dspev for a symmetric one. Both decompose a page-file-backed copy of the
// whole matrix.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

#include "sgt/LaEigen.h"
#include "sgt/Lapack.h"
#include "sgt/SolverFailure.h"

namespace ovix {

namespace {

// A dense solver gives at most n eigenpairs.
void checkWanted(int wanted, int n, LaEigenCheck check, const char* solver) {
    if (wanted < 0 || wanted > n)
        throw solverFailure(check, std::string(solver) + " cannot give " + std::to_string(wanted) +
                                       " eigenpairs of a matrix of order " + std::to_string(n));
}

std::runtime_error lapackFailure(LaEigenCheck check, const char* what, int info) {
    return solverFailure(check, std::string(what) + ": " + std::to_string(info));
}

}  // namespace

template <class T>
int LaEigen<T>::decomposeGeev(int wanted, const LaEigen& A, int wantVectors) {
    const int n = orderToHold(A);
    checkWanted(wanted, n, LaEigenCheck::geevWanted, "geev");
    freeDecomposition();

    // dgeev reads column-major: element (i, j) goes to j * n + i, so that
    // the matrix decomposed is A itself and not its transpose.
    const auto size = static_cast<std::size_t>(n);
    MappedArray<double> copy(size * size);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            copy[j * size + i] = A.element(i, j);

    const bool vectors = wantVectors == 1;
    const int leading = std::max(n, 1);
    m_eigVec = MappedArray<double>(vectors ? size * size : 1);
    m_eigReal = std::make_unique<double[]>(size);
    m_eigImag = std::make_unique<double[]>(size);

    double best = 0;
    int info = lapack::dgeev(false, n, copy.data(), leading, m_eigReal.get(), m_eigImag.get(), nullptr, 1, &best, -1);
    if (info != 0)
        throw lapackFailure(LaEigenCheck::geevProbe, "geev probe failed", info);
    // The probe is made without vectors; keep at least what they need.
    const int lwork = std::max(static_cast<int>(best), vectors ? 4 * n : 3 * n);
    const auto work = std::make_unique<double[]>(static_cast<std::size_t>(std::max(lwork, 1)));
    info = lapack::dgeev(vectors, n, copy.data(), leading, m_eigReal.get(), m_eigImag.get(), m_eigVec.data(),
                         vectors ? leading : 1, work.get(), lwork);
    if (info != 0)
        throw lapackFailure(LaEigenCheck::geev, "geev failed", info);

    rankSmallest(m_eigReal.get(), n, wanted);
    if (!vectors)
        m_eigVec = MappedArray<double>();
    m_nEigen = wanted;
    m_method = methodGeev;
    return wanted;
}

template <class T>
int LaEigen<T>::decomposeSpev(int wanted, const LaEigen& A, int wantVectors) {
    const int n = orderToHold(A);
    checkWanted(wanted, n, LaEigenCheck::spevWanted, "spev");
    freeDecomposition();

    // The lower triangle, packed column by column: element (i, c), c <= i,
    // at c (2n - 1 - c) / 2 + i.
    const auto size = static_cast<std::size_t>(n);
    MappedArray<double> packed(size * (size + 1) / 2);
    std::size_t next = 0;
    for (int c = 0; c < n; ++c)
        for (int i = c; i < n; ++i)
            packed[next++] = A.element(i, c);

    const bool vectors = wantVectors == 1;
    m_eigVec = MappedArray<double>(vectors ? size * size : 1);
    m_eigReal = std::make_unique<double[]>(size);
    m_eigImag = std::make_unique<double[]>(size);
    const auto work = std::make_unique<double[]>(std::max<std::size_t>(3 * size, 1));
    const int info = lapack::dspev(vectors, n, packed.data(), m_eigReal.get(), m_eigVec.data(),
                                   vectors ? std::max(n, 1) : 1, work.get());
    if (info != 0)
        throw lapackFailure(LaEigenCheck::spev, "spev failed", info);

    rankSmallest(m_eigReal.get(), n, wanted);
    if (!vectors)
        m_eigVec = MappedArray<double>();
    m_nEigen = wanted;
    m_method = methodSpev;
    return wanted;
}

template int LaEigen<float>::decomposeGeev(int, const LaEigen&, int);
template int LaEigen<double>::decomposeGeev(int, const LaEigen&, int);
template int LaEigen<float>::decomposeSpev(int, const LaEigen&, int);
template int LaEigen<double>::decomposeSpev(int, const LaEigen&, int);

}  // namespace ovix
