#pragma once
// The root of the matrix family: every member can hold an eigen-decomposition
// of itself, and the solvers see any member only through element, dimension
// and multiply. Instantiated for float (the classifier) and double (the
// clustering); the decomposition itself is kept in doubles in both.
//
// An object is used by one thread at a time.

#include <memory>

#include "sgt/MappedArray.h"

template <class T>
class LaEigen {
public:
    // How the held eigenpairs were computed.
    enum Method : int { methodNone = 0, methodArpack = 1, methodGeev = 2, methodSpev = 3 };

    LaEigen() = default;
    LaEigen(const LaEigen&) = delete;
    LaEigen& operator=(const LaEigen&) = delete;

    // The eigenpairs held.
    virtual int eigenCount() const { return nEigen; }
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

protected:
    // Drops the held decomposition: no arrays, nEigen 0, method none.
    void freeDecomposition() noexcept;

    std::unique_ptr<double[]> eigReal;  // real parts, in the solver's order
    std::unique_ptr<double[]> eigImag;  // imaginary parts, in the solver's order
    MappedArray<double> eigVec;         // eigenvectors as columns of dimension() rows
    std::unique_ptr<int[]> order;       // nEigen entries: rank -> solver index
    int nEigen = 0;
    int method = methodNone;

private:
    // The solver index of `rank` after the checks that every accessor makes.
    int solverIndex(int rank, int orderCheck, int methodCheck, int rankCheck) const;
};

extern template class LaEigen<float>;
extern template class LaEigen<double>;
