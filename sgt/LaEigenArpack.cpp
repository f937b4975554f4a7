// The iterative solver of LaEigen: a few of the smallest eigenpairs with
// ARPACK through ARPACK++ (sgt/ArpackProblem.h).

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/BlockingWait.h"
#include "sgt/ArpackDiagnostic.h"
#include "sgt/ArpackProblem.h"
#include "sgt/ArpackSharedBlas.h"
#include "sgt/KeyOrder.h"
#include "sgt/LaEigen.h"
#include "sgt/SerialBlas.h"
#include "sgt/SolverFailure.h"
#include "sgt/WorkTeam.h"

namespace ovix {

namespace {

// ARPACK keeps a solve's state in Fortran SAVE variables and common blocks,
// ARPACK++ its error code in a static member: one solve at a time.
std::mutex& arpackLock() {
    static std::mutex lock;
    return lock;
}

// The converged eigenpairs in rank order.
struct RankedEigenpairs {
    int count = 0;
    std::unique_ptr<double[]> real;
    std::unique_ptr<double[]> imag;
    MappedArray<double> vectors;  // n x count, column r for rank r
};

// The threads, the caller included, that a solve of order n with ncv basis
// vectors is cut for. Every task of the solve costs each thread that shares
// it a wake-up and a join, while its work grows with the basis, so the best
// count grows about as the square root of the basis: measured
// (bench/arpack_eigs.py), one more than the square root of the basis in MiB,
// rounded up, and at most kMostThreads: 3 threads at 5,000 rows and 81
// vectors, 5 at 20,000, 8 at 100,000. A basis below 2 MiB is solved on the
// calling thread. The solve's team has one thread per processor at most,
// and keeps short steps to the calling thread on a crowded machine
// (WorkTeam.h).
constexpr unsigned kMostThreads = 8;

unsigned solveThreads(int n, int ncv) {
    const double basisMiB = static_cast<double>(n) * ncv * sizeof(double) / (1 << 20);
    if (basisMiB < 2)
        return 1;
    return std::min(static_cast<unsigned>(std::ceil(std::sqrt(basisMiB))) + 1, kMostThreads);
}

template <class T, bool Symmetric>
RankedEigenpairs solveSmallest(SolverProduct product, int n, int wanted, int ncv, int maxit) {
    ArpackOperator op(std::move(product));
    ArpackProblem<Symmetric> problem(op, n, wanted, ncv, maxit);
    RankedEigenpairs result;
    result.count = problem.FindEigenvectors();
    const int count = result.count;
    if (count <= 0)
        return result;

    std::vector<std::pair<int, T>> pairs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        pairs[i] = {i, static_cast<T>(problem.eigenvalueReal(i))};
    std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return keyLess(a.second, b.second); });

    const auto size = static_cast<std::size_t>(n);
    result.real = std::make_unique<double[]>(static_cast<std::size_t>(count));
    result.imag = std::make_unique<double[]>(static_cast<std::size_t>(count));
    result.vectors = MappedArray<double>(size * static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) {
        const int i = pairs[r].first;
        result.real[r] = problem.eigenvalueReal(i);
        result.imag[r] = problem.eigenvalueImag(i);
        // Stored with a positive first component, as the accessors hand out.
        const double* vector = problem.eigenvectorReal(i);
        const double sign = vector[0] > 0 ? 1.0 : -1.0;
        double* column = result.vectors.data() + static_cast<std::size_t>(r) * size;
        for (std::size_t j = 0; j < size; ++j)
            column[j] = vector[j] * sign;
    }
    return result;
}

}  // namespace

template <class T>
int LaEigen<T>::decomposeArpack(int wanted, const LaEigen& A, int symmetric, int wantVectors) {
    const int n = orderToHold(A);
    if (wanted >= n - 1)
        return symmetric ? decomposeSpev(wanted, A, wantVectors) : decomposeGeev(wanted, A, wantVectors);
    freeDecomposition();

    // In 64 bits: the counts of a huge request do not fit an int.
    const long long asked = wanted;
    const int ncv = static_cast<int>(std::min<long long>(std::max(2 * asked + 1, 20LL), n));
    const int maxit = static_cast<int>(std::min<long long>(std::max(100 * asked, 10000LL), INT_MAX));

    RankedEigenpairs solution;
    {
        std::mutex& lock = arpackLock();
        lockOutsideHost(lock);
        const std::lock_guard held(lock, std::adopt_lock);
        // The engine shares the work out itself: the BLAS library's threads
        // would only spin between ARPACK's calls and compete with its own.
        const unsigned threads = solveThreads(n, ncv);
        WorkTeam team(std::min(threads, std::max(1u, std::thread::hardware_concurrency())) - 1);
        const SerialBlas serialBlas;
        const ArpackSharedBlas sharedBlas(team, threads);
        try {
            SolverProduct product = A.solverProduct(team);
            solution = symmetric ? solveSmallest<T, true>(std::move(product), n, wanted, ncv, maxit)
                                 : solveSmallest<T, false>(std::move(product), n, wanted, ncv, maxit);
        } catch (const ArpackDiagnostic& diagnostic) {
            throw solverFailure(LaEigenCheck::arpack, diagnostic.what());
        }
    }
    if (solution.count <= 0)
        return solution.count;

    m_method = methodArpack;
    m_nEigen = solution.count;
    m_eigReal = std::move(solution.real);
    m_eigImag = std::move(solution.imag);
    m_eigVec = std::move(solution.vectors);
    m_order = std::make_unique<int[]>(static_cast<std::size_t>(m_nEigen));
    for (int r = 0; r < m_nEigen; ++r)
        m_order[r] = r;
    return m_nEigen;
}

template int LaEigen<float>::decomposeArpack(int, const LaEigen&, int, int);
template int LaEigen<double>::decomposeArpack(int, const LaEigen&, int, int);

}  // namespace ovix
