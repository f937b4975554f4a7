#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "base/BlockingWait.h"
#include "sgt/LaDenseMatrix.h"
#include "sgt/LaEigen.h"
#include "sgt/LaPlacian.h"
#include "sgt/WorkTeam.h"
#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/Laplacians.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::Decomposable;
using ovix::testing::Graph;

enum Solver { geev, spev, arpackSymmetric, arpackGeneral };

// Decomposes A into itself; the dense solvers give the whole spectrum, ARPACK
// the `few` smallest eigenpairs.
template <class T>
int decompose(Solver solver, LaEigen<T>& A, int few) {
    const int n = A.dimension();
    switch (solver) {
        case geev:
            return A.decomposeGeev(n, A, 1);
        case spev:
            return A.decomposeSpev(n, A, 1);
        case arpackSymmetric:
            return A.decomposeArpack(few, A, 1, 1);
        case arpackGeneral:
            return A.decomposeArpack(few, A, 0, 1);
    }
    return 0;
}

// The largest ‖A v − λ v‖ / ‖v‖ over the real eigenpairs held, read through
// the accessors.
template <class T>
double worstResidual(const LaEigen<T>& A) {
    const int n = A.dimension();
    std::vector<double> v(n), Av(n);
    double worst = 0;
    for (int r = 0; r < A.eigenCount(); ++r) {
        if (A.eigenvalueImag(r) != 0)
            continue;
        const double lambda = A.eigenvalue(r);
        for (int j = 0; j < n; ++j)
            v[j] = A.eigenvector(r, j);
        A.multiply(v.data(), Av.data());
        double residual = 0, length = 0;
        for (int j = 0; j < n; ++j) {
            residual += (Av[j] - lambda * v[j]) * (Av[j] - lambda * v[j]);
            length += v[j] * v[j];
        }
        EXPECT_GT(length, 0.5) << "rank " << r << " has no eigenvector";
        worst = std::max(worst, std::sqrt(residual / length));
    }
    return worst;
}

// |cos| of the angle between eigenvector rank r of a and of b.
template <class T>
double alignment(const LaEigen<T>& a, const LaEigen<T>& b, int r) {
    double ab = 0, aa = 0, bb = 0;
    for (int j = 0; j < a.dimension(); ++j) {
        ab += double(a.eigenvector(r, j)) * b.eigenvector(r, j);
        aa += double(a.eigenvector(r, j)) * a.eigenvector(r, j);
        bb += double(b.eigenvector(r, j)) * b.eigenvector(r, j);
    }
    return std::fabs(ab) / std::sqrt(aa * bb);
}

// A connected random graph with positive weights: a light path through all
// nodes and about `degree` heavier edges from each node.
struct RandomGraph {
    int n;
    std::vector<std::vector<double>> W;

    RandomGraph(int nodes, int degree, unsigned seed) : n(nodes), W(nodes, std::vector<double>(nodes)) {
        std::mt19937 draw(seed);
        std::uniform_int_distribution<int> node(0, n - 1);
        std::uniform_real_distribution<double> weight(0.1, 1.0);
        for (int i = 0; i + 1 < n; ++i)
            W[i][i + 1] = W[i + 1][i] = 0.05;
        for (int i = 0; i < n; ++i)
            for (int e = 0; e < degree; ++e) {
                const int j = node(draw);
                if (j != i)
                    W[i][j] = W[j][i] = weight(draw);
            }
    }
    double degreeOf(int i) const {
        double d = 0;
        for (const double w : W[i])
            d += w;
        return d;
    }
    // I − D^-1/2 W D^-1/2.
    std::unique_ptr<Decomposable<double>> symmetricNormalized() const {
        auto L = std::make_unique<Decomposable<double>>(n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                L->set(i, j, (i == j) - W[i][j] / std::sqrt(degreeOf(i) * degreeOf(j)));
        return L;
    }
    // I − D^-1 W: not symmetric.
    std::unique_ptr<Decomposable<double>> randomWalk() const {
        auto L = std::make_unique<Decomposable<double>>(n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                L->set(i, j, (i == j) - W[i][j] / degreeOf(i));
        return L;
    }
};

template <class T>
class ClosedFormSpectra : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ClosedFormSpectra, ElementTypes);

TYPED_TEST(ClosedFormSpectra, EverySolverOnPathCycleCompleteAndTwoCliques) {
    using T = TypeParam;
    const double tolerance = std::is_same_v<T, float> ? 1e-4 : 1e-9;
    const int few = 4;
    for (const Graph& graph :
         {ovix::testing::path(24), ovix::testing::cycle(24), ovix::testing::complete(24), ovix::testing::cliques({10, 14})}) {
        for (const Solver solver : {geev, spev, arpackSymmetric, arpackGeneral}) {
            SCOPED_TRACE("graph of " + std::to_string(graph.edges.size()) + " edges, solver " + std::to_string(solver));
            auto L = graph.laplacian<T>();
            const int held = decompose(solver, *L, few);
            const bool iterative = solver == arpackSymmetric || solver == arpackGeneral;
            EXPECT_EQ(L->solvedBy(), iterative        ? LaEigen<T>::methodArpack
                                     : solver == geev ? LaEigen<T>::methodGeev
                                                      : LaEigen<T>::methodSpev);
            // A non-symmetric solve may also give the partner of the last pair.
            ASSERT_GE(held, iterative ? few : graph.n);
            ASSERT_EQ(L->eigenCount(), held);
            for (int r = 0; r < held; ++r) {
                EXPECT_NEAR(L->eigenvalue(r), graph.spectrum[r], tolerance * graph.n) << "rank " << r;
                EXPECT_NEAR(L->eigenvalueImag(r), 0, tolerance) << "rank " << r;
            }
            EXPECT_LT(worstResidual(*L), tolerance * graph.n * 10);
        }
    }
}

TEST(ArpackAgainstLapack, SameEigenpairsOfASymmetricNormalizedLaplacian) {
    const RandomGraph graph(150, 4, 7);
    auto iterative = graph.symmetricNormalized();
    auto dense = graph.symmetricNormalized();
    ASSERT_EQ(iterative->decomposeArpack(6, *iterative, 1, 1), 6);
    ASSERT_EQ(dense->decomposeSpev(6, *dense, 1), 6);
    for (int r = 0; r < 6; ++r) {
        EXPECT_NEAR(iterative->eigenvalue(r), dense->eigenvalue(r), 1e-10) << "rank " << r;
        EXPECT_NEAR(alignment(*iterative, *dense, r), 1, 1e-8) << "rank " << r;
    }
    EXPECT_LT(worstResidual(*iterative), 1e-10);
    EXPECT_LT(worstResidual(*dense), 1e-10);
}

// The random-walk Laplacian is not symmetric: dgeev must be handed the matrix
// itself, not its row-major transpose, to give the right eigenvectors that
// ARPACK gives.
TEST(ArpackAgainstLapack, SameEigenpairsOfANonSymmetricLaplacian) {
    const RandomGraph graph(150, 4, 11);
    auto iterative = graph.randomWalk();
    auto dense = graph.randomWalk();
    const int held = iterative->decomposeArpack(6, *iterative, 0, 1);
    ASSERT_GE(held, 6);
    ASSERT_EQ(dense->decomposeGeev(6, *dense, 1), 6);
    for (int r = 0; r < 6; ++r) {
        EXPECT_NEAR(iterative->eigenvalue(r), dense->eigenvalue(r), 1e-10) << "rank " << r;
        EXPECT_NEAR(alignment(*iterative, *dense, r), 1, 1e-8) << "rank " << r;
    }
    EXPECT_LT(worstResidual(*iterative), 1e-10);
    EXPECT_LT(worstResidual(*dense), 1e-10);
}

TEST(DenseSolvers, RanksNameTheSmallestOfTheWholeSpectrum) {
    // Diagonal entries 5, -1, 3, 0: LAPACK keeps all four, ranks name the two
    // smallest.
    for (const Solver solver : {geev, spev}) {
        Decomposable<float> D(4);
        const float diagonal[] = {5, -1, 3, 0};
        for (int i = 0; i < 4; ++i)
            D.set(i, i, diagonal[i]);
        EXPECT_EQ(solver == geev ? D.decomposeGeev(2, D, 1) : D.decomposeSpev(2, D, 1), 2);
        EXPECT_EQ(D.eigenCount(), 2);
        EXPECT_FLOAT_EQ(D.eigenvalue(0), -1);
        EXPECT_FLOAT_EQ(D.eigenvalue(1), 0);
        EXPECT_FLOAT_EQ(std::fabs(D.eigenvector(0, 1)), 1);
        EXPECT_INVARIANT_REPORT(D.eigenvalue(2), "LaEigen", 75, 2);
    }
}

TEST(DenseSolvers, AnEmptyMatrixHasNoEigenpairs) {
    Decomposable<double> empty(0);
    EXPECT_EQ(empty.decomposeGeev(0, empty, 1), 0);
    EXPECT_EQ(empty.decomposeSpev(0, empty, 1), 0);
    EXPECT_EQ(empty.decomposeArpack(0, empty, 0, 1), 0);
    EXPECT_EQ(empty.solvedBy(), LaEigen<double>::methodGeev);
}

TEST(DenseSolvers, SpevReadsOnlyTheLowerTriangle) {
    auto symmetric = ovix::testing::path(6).laplacian<double>();
    auto skewed = ovix::testing::path(6).laplacian<double>();
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j)
            skewed->set(i, j, 100 + i * j);
    symmetric->decomposeSpev(6, *symmetric, 1);
    skewed->decomposeSpev(6, *skewed, 1);
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(skewed->eigenvalue(r), symmetric->eigenvalue(r));
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(skewed->eigenvector(r, j), symmetric->eigenvector(r, j));
    }
}

TEST(Arpack, KeepsVectorsAlwaysAndLeavesTooManyToLapack) {
    const Graph graph = ovix::testing::path(10);
    auto L = graph.laplacian<double>();
    EXPECT_EQ(L->decomposeArpack(3, *L, 1, 0), 3);
    EXPECT_EQ(L->solvedBy(), LaEigen<double>::methodArpack);
    EXPECT_TRUE(L->holdsVectors());
    EXPECT_GE(L->eigenvector(1, 0), 0);

    // n - 1 or more eigenpairs: the dense solvers, which honour wantVectors.
    EXPECT_EQ(L->decomposeArpack(9, *L, 1, 0), 9);
    EXPECT_EQ(L->solvedBy(), LaEigen<double>::methodSpev);
    EXPECT_FALSE(L->holdsVectors());
    EXPECT_EQ(L->decomposeArpack(10, *L, 0, 0), 10);
    EXPECT_EQ(L->solvedBy(), LaEigen<double>::methodGeev);
    EXPECT_FALSE(L->holdsVectors());
    EXPECT_NEAR(L->eigenvalue(9), graph.spectrum[9], 1e-12);
}

TEST(SolverFailures, AreThrownTextsThatNameTheCheck) {
    using ovix::testing::failureOf;
    auto L = ovix::testing::path(4).laplacian<double>();
    L->decomposeGeev(4, *L, 1);
    // Too many eigenpairs for a dense solver: the decomposition held stays.
    EXPECT_EQ(failureOf([&] { L->decomposeGeev(5, *L, 1); }),
              "sgt/LaEigen.h: 137: geev cannot give 5 eigenpairs of a matrix of order 4");
    EXPECT_EQ(failureOf([&] { L->decomposeSpev(-1, *L, 1); }),
              "sgt/LaEigen.h: 257: spev cannot give -1 eigenpairs of a matrix of order 4");
    EXPECT_NEAR(L->eigenvalue(3), ovix::testing::path(4).spectrum[3], 1e-12);
    // Through ARPACK's fallback with too few nodes.
    Decomposable<double> single(1);
    EXPECT_EQ(failureOf([&] { single.decomposeArpack(2, single, 0, 1); }),
              "sgt/LaEigen.h: 137: geev cannot give 2 eigenpairs of a matrix of order 1");
    // ARPACK++'s own diagnostics.
    auto P = ovix::testing::path(30).laplacian<double>();
    EXPECT_EQ(failureOf([&] { P->decomposeArpack(0, *P, 1, 1); }),
              "sgt/LaEigen.h: 473: arpack error in AREigenProblem: 'nev' is out of bounds");
    EXPECT_EQ(P->eigenCount(), 0);

    LaDenseMatrix<double> other(5, 5);
    EXPECT_THROW(L->decomposeGeev(1, other, 1), std::invalid_argument);
}

TEST(Arpack, RestoresTheCallersNewHandler) {
    static bool called = false;
    const std::new_handler mine = [] { called = true; };
    const std::new_handler before = std::set_new_handler(mine);
    auto L = ovix::testing::cycle(30).laplacian<double>();
    EXPECT_EQ(L->decomposeArpack(3, *L, 1, 1), 3);
    EXPECT_EQ(std::get_new_handler(), mine);
    std::set_new_handler(before);
    EXPECT_FALSE(called);
}

// A Laplacian that notes the helpers of the team that its solve shares the
// products over.
class TeamNotingLaplacian : public LaPlacian<double> {
public:
    using LaPlacian<double>::LaPlacian;
    SolverProduct solverProduct(WorkTeam& team) const override {
        helpers = team.helpers();
        return LaPlacian<double>::solverProduct(team);
    }
    mutable unsigned helpers = 0;
};

// Twenty components of 500 nodes, each a random graph over a path: twenty
// eigenvalues 0 well apart from the rest, in a basis (n x 41 doubles) large
// enough for the engine to share its products out over its threads (3 MiB:
// two, the square root rounded up); the test checks that it had helpers.
std::unique_ptr<TeamNotingLaplacian> twentyComponents(int symmetric) {
    const int size = 500, n = 20 * size;
    auto L = std::make_unique<TeamNotingLaplacian>(n, n, 1, symmetric, 1);
    std::mt19937 draw(13);
    for (int c = 0; c < n; c += size) {
        for (int i = 0; i < size; ++i) {
            if (i + 1 < size)
                L->set(c + i, c + i + 1, 1);
            for (int e = 0; e < 6; ++e) {
                const int j = static_cast<int>(draw() % size);
                if (j != i)
                    L->set(c + i, c + j, 1);
            }
        }
    }
    L->buildLaplacian(0);
    return L;
}

TEST(Arpack, ASolveSharedOutOverTheEngineThreadsFindsTrueEigenpairs) {
    for (const int symmetric : {1, 0}) {
        auto L = twentyComponents(symmetric);
        ASSERT_GE(L->decomposeArpack(20, *L, symmetric, 1), 20) << symmetric;
        if (std::thread::hardware_concurrency() > 1) {
            EXPECT_GT(L->helpers, 0u) << symmetric;
        }
        for (int r = 0; r < 20; ++r)
            EXPECT_NEAR(L->eigenvalue(r), 0, 1e-9) << symmetric << " rank " << r;
        EXPECT_LT(worstResidual(*L), 1e-9) << symmetric;
    }
}

// The engine shares a solve's work out itself: the BLAS library runs on one
// thread during the solve, and has the caller's count again after it.
TEST(Arpack, LeavesTheCallersBlasThreadCountAsItFoundIt) {
    const auto get = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
    const auto set = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    if (!get || !set)
        GTEST_SKIP() << "the BLAS library keeps no thread count";
    const int before = get();
    class Recording : public Decomposable<double> {
    public:
        using Decomposable<double>::Decomposable;
        void multiply(const double* x, double* y) const override {
            during = std::max(during, m_blasThreads());
            Decomposable<double>::multiply(x, y);
        }
        int (*m_blasThreads)() = nullptr;
        mutable int during = 0;
    };
    for (const int callers : {3, 1, 2}) {
        set(callers);
        const Graph graph = ovix::testing::cycle(40);
        Recording L(graph.n);
        L.m_blasThreads = get;
        for (const auto& [i, j] : graph.edges) {
            L.set(i, j, -1);
            L.set(j, i, -1);
        }
        for (int i = 0; i < graph.n; ++i)
            L.set(i, i, 2);
        EXPECT_EQ(L.decomposeArpack(3, L, callers % 2, 1), 3);
        EXPECT_EQ(L.during, 1) << callers;
        EXPECT_EQ(get(), callers);
    }
    set(before);
}

// ARPACK keeps the state of a solve in global variables: solves on two
// threads must not mix.
TEST(ArpackConcurrency, TwoThreadsDecomposingAtOnceBothGetTheirSpectra) {
    const auto solveRepeatedly = [](const Graph& graph, int symmetric, int& wrong) {
        for (int round = 0; round < 15; ++round) {
            auto L = graph.laplacian<double>();
            const int held = L->decomposeArpack(5, *L, symmetric, 1);
            bool right = held >= 5;
            for (int r = 0; right && r < 5; ++r)
                right = std::fabs(L->eigenvalue(r) - graph.spectrum[r]) < 1e-8;
            wrong += !right;
        }
    };
    int wrongA = 0, wrongB = 0, wrongC = 0;
    std::thread a(solveRepeatedly, ovix::testing::path(60), 1, std::ref(wrongA));
    std::thread b(solveRepeatedly, ovix::testing::cycle(50), 1, std::ref(wrongB));
    std::thread c(solveRepeatedly, ovix::testing::cliques({20, 25}), 0, std::ref(wrongC));
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    EXPECT_EQ(wrongC, 0);
}

// A thread that waits for another's solve lets the host's lock go meanwhile.
struct HostLock {
    std::mutex mutex;
    std::condition_variable changed;
    bool solving = false;
    bool released = false;
    int reacquired = 0;
};
HostLock hostLock;

// A path Laplacian whose first product waits until the host's lock has been
// let go.
class WaitingLaplacian : public LaDenseMatrix<double> {
public:
    WaitingLaplacian() : LaDenseMatrix<double>(40, 40) {
        auto L = ovix::testing::path(40).laplacian<double>();
        for (int i = 0; i < 40; ++i)
            for (int j = 0; j < 40; ++j)
                set(i, j, L->get(i, j));
    }
    void multiply(const double* x, double* y) const override {
        std::unique_lock hold(hostLock.mutex);
        if (!hostLock.solving) {
            hostLock.solving = true;
            hostLock.changed.notify_all();
            hostLock.changed.wait_for(hold, std::chrono::seconds(60), [] { return hostLock.released; });
        }
        hold.unlock();
        LaDenseMatrix<double>::multiply(x, y);
    }
};

TEST(ArpackConcurrency, AWaitForTheSolverLetsTheHostLockGo) {
    ovix::installBlockingWaitHooks({
        []() -> void* {
            const std::lock_guard hold(hostLock.mutex);
            hostLock.released = true;
            hostLock.changed.notify_all();
            return &hostLock;
        },
        [](void*) {
            const std::lock_guard hold(hostLock.mutex);
            ++hostLock.reacquired;
        },
    });
    WaitingLaplacian first;
    std::thread solving([&] { first.decomposeArpack(3, first, 1, 1); });
    {
        std::unique_lock hold(hostLock.mutex);
        hostLock.changed.wait(hold, [] { return hostLock.solving; });
    }
    auto second = ovix::testing::cycle(30).laplacian<double>();
    EXPECT_EQ(second->decomposeArpack(3, *second, 1, 1), 3);
    solving.join();
    ovix::installBlockingWaitHooks({nullptr, nullptr});

    EXPECT_TRUE(hostLock.released);
    EXPECT_EQ(hostLock.reacquired, 1);
    EXPECT_NEAR(first.eigenvalue(1), ovix::testing::path(40).spectrum[1], 1e-10);
    EXPECT_NEAR(second->eigenvalue(1), ovix::testing::cycle(30).spectrum[1], 1e-10);
}

}  // namespace

}  // namespace ovix
