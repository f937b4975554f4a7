#pragma once
// The ARPACK++ eigen-problems of the iterative solver (LaEigen::
// decomposeArpack), with the product of any member of the matrix family as
// the operator (LaEigen::solverProduct).
// Changed from ARPACK++'s own classes:
// - the Arnoldi basis V (n x ncv + 1 doubles) and the work array workl
//   (lworkl + 1 doubles) are page-file-backed arrays, not heap arrays;
// - the new-handler that ARPACK++ installs while it prepares is replaced by
//   the caller's again as soon as the problem is made;
// - a non-symmetric problem takes 1 <= nev < n - 1, as ARPACK itself does
//   (ARPACK++ refuses nev 1, which a solve for the one smallest needs).
// ARPACK keeps the state of a solve in global variables: only one problem
// may be solved at a time in the whole process.
//
// ARPACK++ frees V and workl with delete[] from its non-virtual ClearMem (in
// its Prepare and its destructor), so this class makes them itself in its own
// Prepare and WorkspaceAllocate and hands them back before ClearMem runs.

#include <arpack++/arsnsym.h>
#include <arpack++/arssym.h>

#include <cstddef>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "sgt/LaEigen.h"
#include "sgt/MappedArray.h"

namespace ovix {

// The operator of an eigen-problem: y = A x.
class ArpackOperator {
public:
    explicit ArpackOperator(SolverProduct product) : m_product(std::move(product)) {}
    void multiply(double* x, double* y) { m_product(x, y); }

private:
    SolverProduct m_product;
};

template <bool Symmetric>
using ArpackBase =
    std::conditional_t<Symmetric, ARSymStdEig<double, ArpackOperator>, ARNonSymStdEig<double, ArpackOperator>>;

// The `wanted` eigenvalues (ARPACK's nev) of the smallest magnitude
// (symmetric) or of the smallest real part (non-symmetric) of an operator of
// order n, with ncv Arnoldi vectors, at most maxit iterations, machine
// precision and ARPACK's random start.
template <bool Symmetric>
class ArpackProblem final : public ArpackBase<Symmetric> {
public:
    // Throws ArpackDiagnostic for parameters ARPACK refuses and when the
    // arrays cannot be had.
    ArpackProblem(ArpackOperator& op, int order, int wanted, int arnoldiVectors, int maxIterations);
    ~ArpackProblem() override { detachArrays(); }

    // After FindEigenvectors: eigenpair i < ConvergedEigenvalues(), in
    // ARPACK's order.
    double eigenvalueReal(int i) const { return this->EigValR[i]; }
    double eigenvalueImag(int i) const;
    // The real part of eigenvector i (n doubles).
    const double* eigenvectorReal(int i) const;

protected:
    void Prepare() override;
    void WorkspaceAllocate() override;
    int CheckNev(int nevp) override;

private:
    // Takes V and workl away from ARPACK++ before it could delete[] them.
    void detachArrays() noexcept;

    char m_which[3] = {'S', Symmetric ? 'M' : 'R', '\0'};
    MappedArray<double> m_basis;  // V
    MappedArray<double> m_work;   // workl
};

template <bool Symmetric>
ArpackProblem<Symmetric>::ArpackProblem(ArpackOperator& op, int order, int wanted, int arnoldiVectors,
                                        int maxIterations) {
    const std::new_handler callers = std::get_new_handler();
    try {
        this->NoShift();
        this->DefineParameters(order, wanted, &op, &ArpackOperator::multiply, m_which, arnoldiVectors, 0.0,
                               maxIterations);
    } catch (...) {
        std::set_new_handler(callers);
        detachArrays();
        throw;
    }
    std::set_new_handler(callers);
}

template <bool Symmetric>
double ArpackProblem<Symmetric>::eigenvalueImag(int i) const {
    if constexpr (Symmetric)
        return 0;
    else
        return this->EigValI[i];
}

template <bool Symmetric>
const double* ArpackProblem<Symmetric>::eigenvectorReal(int i) const {
    // A complex pair occupies two columns: the real part, then the imaginary
    // part, the member with the positive imaginary part first.
    int column = i;
    if constexpr (!Symmetric)
        if (this->EigValI[i] < 0 && i > 0)
            column = i - 1;
    return this->EigVec + static_cast<std::size_t>(column) * static_cast<std::size_t>(this->n);
}

template <bool Symmetric>
void ArpackProblem<Symmetric>::Prepare() {
    detachArrays();
    this->ClearMem();
    try {
        const auto order = static_cast<std::size_t>(this->n);
        if (!this->resid) {
            this->resid = new double[order];
            this->newRes = true;
        }
        this->workd = new double[3 * order + 1];
        m_basis = MappedArray<double>(order * static_cast<std::size_t>(this->ncv) + 1);
        this->V = m_basis.data();
        WorkspaceAllocate();
    } catch (const std::bad_alloc&) {
        throw ArpackError(ArpackError::CANNOT_PREPARE, "Prepare");
    }
    this->Restart();
    this->PrepareOK = true;
}

template <bool Symmetric>
void ArpackProblem<Symmetric>::WorkspaceAllocate() {
    const auto vectors = static_cast<long long>(this->ncv);
    const long long workLength = Symmetric ? vectors * (vectors + 9) : 3 * vectors * (vectors + 2);
    if (workLength >= std::numeric_limits<int>::max())  // ARPACK counts in 32-bit integers
        throw std::bad_array_new_length();
    this->lworkl = static_cast<int>(workLength);
    this->lworkv = Symmetric ? 0 : static_cast<int>(3 * vectors);
    this->lrwork = 0;
    m_work = MappedArray<double>(static_cast<std::size_t>(workLength) + 1);
    this->workl = m_work.data();
    if constexpr (!Symmetric)
        this->workv = new double[static_cast<std::size_t>(this->lworkv) + 1];
}

template <bool Symmetric>
int ArpackProblem<Symmetric>::CheckNev(int nevp) {
    const int limit = Symmetric ? this->n : this->n - 1;
    if (nevp < 1 || nevp >= limit)
        throw ArpackError(ArpackError::NEV_OUT_OF_BOUNDS);
    return nevp;
}

template <bool Symmetric>
void ArpackProblem<Symmetric>::detachArrays() noexcept {
    this->V = nullptr;
    this->workl = nullptr;
    m_basis = MappedArray<double>();
    m_work = MappedArray<double>();
}

}  // namespace ovix
