#pragma once
// The root of the matrix family: every member can hold an eigen-decomposition
// of itself, and the solvers see any member only through element, dimension
// and multiply. Instantiated for float (the classifier) and double (the
// clustering); the decomposition itself is kept in doubles in both.
//
// An object is used by one thread at a time; different objects may be
// decomposed on different threads at once.

#include <functional>
#include <memory>

#include "sgt/LaEigenCheck.h"
#include "sgt/MappedArray.h"

namespace ovix {

class WorkTeam;

// y = A x, x and y of the operator's order.
using SolverProduct = std::function<void(const double* x, double* y)>;

template <class T>
class LaEigen {
public:
    // How the held eigenpairs were computed.
    enum Method : int { methodNone = 0, methodArpack = 1, methodGeev = 2, methodSpev = 3 };

    LaEigen() = default;
    LaEigen(const LaEigen&) = delete;
    LaEigen& operator=(const LaEigen&) = delete;

    // The eigenpairs held.
    virtual int eigenCount() const { return m_nEigen; }
    // Real and imaginary part of the eigenvalue of `rank` (0 = the smallest
    // real part).
    virtual T eigenvalue(int rank) const;
    virtual T eigenvalueImag(int rank) const;
    // Component `component` of the eigenvector of `rank`, its sign chosen so
    // that component 0 is never negative.
    virtual T eigenvector(int rank, int component) const;
    // Element (i, j) as the solvers read it.
    virtual T element(int i, int j) const = 0;
    // The order of the (square) operator.
    virtual int dimension() const = 0;
    // y = A x; x and y hold dimension() doubles each.
    virtual void multiply(const double* x, double* y) const = 0;
    virtual ~LaEigen() = default;
    // The product the iterative solver repeats, valid while neither this
    // object nor `team` changes or goes, and free to share its work out over
    // the team: multiply on the calling thread unless a member knows better.
    virtual SolverProduct solverProduct(WorkTeam& team) const;

    // The solvers. Each drops the decomposition held and stores that of A, an
    // operator of this object's order (normally this object itself): ranks
    // 0, 1, ... are its eigenvalues by ascending real part (compared as T).
    // A failure is thrown as std::runtime_error "sgt/LaEigen.h: CHECK: TEXT"
    // and leaves the object without a decomposition (eigenCount() 0);
    // std::invalid_argument when A's order differs from this object's.
    //
    // A few of the smallest eigenpairs with ARPACK: smallest in magnitude when
    // `symmetric` is non-zero, else smallest in real part. Eigenvectors are
    // always kept. Asking for n - 1 or more goes to decomposeSpev (symmetric)
    // or decomposeGeev instead. Returns the number of eigenpairs held, 0 when
    // none converged. Solves run one at a time in the process; a thread that
    // waits for its turn lets the host's lock go (base/BlockingWait.h).
    int decomposeArpack(int wanted, const LaEigen& A, int symmetric, int wantVectors);
    // All n eigenvalues with LAPACK's dgeev, kept in LAPACK's order; ranks
    // name the `wanted` smallest (0 <= wanted <= n). With wantVectors 1 the
    // right eigenvectors of A are kept too (a complex pair as its real and
    // imaginary part, in two columns). Returns `wanted`.
    int decomposeGeev(int wanted, const LaEigen& A, int wantVectors);
    // As decomposeGeev with dspev, for a symmetric A: only the lower triangle
    // of A is read.
    int decomposeSpev(int wanted, const LaEigen& A, int wantVectors);

protected:
    // Drops the held decomposition: no arrays, nEigen 0, method none.
    void freeDecomposition() noexcept;

    std::unique_ptr<double[]> m_eigReal;  // real parts, in the solver's order
    std::unique_ptr<double[]> m_eigImag;  // imaginary parts, in the solver's order
    MappedArray<double> m_eigVec;         // eigenvectors as columns of dimension() rows
    std::unique_ptr<int[]> m_order;       // nEigen entries: rank -> solver index
    int m_nEigen = 0;
    int m_method = methodNone;

private:
    // A's order, after checking that this object can hold A's decomposition.
    int orderToHold(const LaEigen& A) const;
    // order[r]: the index of the r-th smallest of the n values (as T), for
    // r < wanted.
    void rankSmallest(const double* values, int n, int wanted);

    // The solver index of `rank` after the checks that every accessor makes.
    int solverIndex(int rank, LaEigenCheck orderCheck, LaEigenCheck methodCheck, LaEigenCheck rankCheck) const;
};

extern template class LaEigen<float>;
extern template class LaEigen<double>;

}  // namespace ovix
