#pragma once
// The checks of the matrix family's decompositions (sgt/LaEigen.h), by the
// numbers their failure texts carry (sgt/CheckFailure.h): invariants of the
// eigenpair accessors, and the solvers' failures.

namespace ovix {

enum class LaEigenCheck {
    // eigenvalue(rank)
    eigenvalueOrder = 71,   // no rank order held
    eigenvalueMethod = 73,  // no decomposition held
    eigenvalueRank = 75,    // rank outside 0 .. nEigen-1
    eigenvalueArray = 77,   // no real parts held
    // eigenvalueImag(rank)
    eigenvalueImagOrder = 84,
    eigenvalueImagMethod = 86,
    eigenvalueImagRank = 88,
    eigenvalueImagArray = 90,  // no imaginary parts held
    // eigenvector(rank, component)
    eigenvectorOrder = 97,
    eigenvectorMethod = 99,
    eigenvectorRank = 101,
    eigenvectorArray = 103,      // no eigenvectors held
    eigenvectorComponent = 105,  // component outside 0 .. dimension()-1
    // The solvers.
    geevWanted = 137,  // more eigenpairs asked than dgeev gives
    geevProbe = 188,   // dgeev's workspace query failed
    geev = 205,        // dgeev failed
    spevWanted = 257,  // more eigenpairs asked than dspev gives
    spev = 309,        // dspev failed
    arpack = 473,      // ARPACK++ reported an error
};

constexpr const char* checkSource(LaEigenCheck) {
    return "sgt/LaEigen.h";
}

}  // namespace ovix
