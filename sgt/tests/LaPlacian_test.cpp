#include "sgt/LaPlacian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "sgt/PackedRows.h"
#include "sgt/WorkTeam.h"
#include "sgt/tests/InvariantReport.h"

namespace ovix {

namespace {

template <class T>
class LaPlacianTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LaPlacianTest, ElementTypes);

using Dense = std::vector<std::vector<double>>;

// A directed graph of 8 nodes without self-loops: some edges one way, some
// both ways with other weights, node 5 without any edge, node 6 with edges
// in only.
Dense directedWeights() {
    Dense w(8, std::vector<double>(8, 0));
    std::mt19937 random(3);
    std::uniform_real_distribution<double> weight(0.1, 2.0);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            if (i != j && i != 5 && j != 5 && i != 6 && (random() % 3 == 0))
                w[i][j] = weight(random);
    w[0][6] = 0.75;
    return w;
}

template <class T>
std::unique_ptr<LaPlacian<T>> graphOf(const Dense& w, int sumEdges, int symmetric, int normalized) {
    const int n = static_cast<int>(w.size());
    auto graph = std::make_unique<LaPlacian<T>>(n, n, sumEdges, symmetric, normalized);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            graph->set(i, j, static_cast<T>(w[i][j]));
    return graph;
}

// The symmetric graph: W + W^T, or W with each one-way edge copied back.
Dense symmetrised(const Dense& w, bool sums) {
    Dense s = w;
    for (std::size_t i = 0; i < w.size(); ++i)
        for (std::size_t j = 0; j < w.size(); ++j)
            s[i][j] = sums ? w[i][j] + w[j][i] : (w[i][j] != 0 ? w[i][j] : w[j][i]);
    return s;
}

// The Laplacian of a symmetric graph by the flags, from its formula.
Dense laplacianOf(const Dense& w, bool symmetric, bool normalized) {
    const std::size_t n = w.size();
    Dense l(n, std::vector<double>(n, 0));
    for (std::size_t i = 0; i < n; ++i) {
        double sum = 0;
        for (std::size_t j = 0; j < n; ++j)
            sum += w[i][j];
        for (std::size_t j = 0; j < n; ++j) {
            double d_j = 0;
            for (std::size_t k = 0; k < n; ++k)
                d_j += w[j][k];
            const double identity = i == j ? 1 : 0;
            if (symmetric && normalized)
                l[i][j] = sum == 0 ? 0 : identity - (w[i][j] == 0 ? 0 : w[i][j] / std::sqrt(sum * d_j));
            else if (symmetric)
                l[i][j] = (i == j ? sum : 0) - w[i][j];
            else if (normalized)
                l[i][j] = identity - (sum == 0 ? 0 : w[i][j] / sum);
            else
                l[i][j] = w[i][j];
        }
    }
    return l;
}

template <class T>
void expectHolds(const LaPlacian<T>& m, const Dense& expected, const char* what) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (std::size_t j = 0; j < expected.size(); ++j)
            ASSERT_NEAR(m.get(static_cast<int>(i), static_cast<int>(j)), expected[i][j], 1e-5)
                << what << " at (" << i << ", " << j << ")";
}

TYPED_TEST(LaPlacianTest, EveryLaplacianMatchesItsFormula) {
    const Dense w = directedWeights();
    for (const int sums : {0, 1})
        for (const int symmetric : {0, 1})
            for (const int normalized : {0, 1}) {
                auto graphPointer = graphOf<TypeParam>(w, sums, symmetric, normalized);
                LaPlacian<TypeParam>& graph = *graphPointer;
                graph.buildLaplacian(0);
                const std::string what = "sums " + std::to_string(sums) + " symmetric " + std::to_string(symmetric) +
                                         " normalized " + std::to_string(normalized);
                expectHolds(graph, laplacianOf(symmetrised(w, sums), symmetric, normalized), what.c_str());
                EXPECT_EQ(graph.degrees() != nullptr, symmetric && normalized);

                // The product the solvers use agrees with the dense one.
                std::vector<double> x(8), y(8);
                for (int j = 0; j < 8; ++j)
                    x[static_cast<std::size_t>(j)] = j - 2.5;
                graph.multiply(x.data(), y.data());
                for (int i = 0; i < 8; ++i) {
                    double expected = 0;
                    for (int j = 0; j < 8; ++j)
                        expected += graph.get(i, j) * x[static_cast<std::size_t>(j)];
                    EXPECT_NEAR(y[static_cast<std::size_t>(i)], expected, 1e-9) << what;
                }
            }
}

TYPED_TEST(LaPlacianTest, SkippingSymmetrisationKeepsTheDirectedGraph) {
    const Dense w = directedWeights();
    auto graph = graphOf<TypeParam>(w, 1, 0, 0);
    graph->buildLaplacian(1);
    expectHolds(*graph, w, "unsymmetrised");
}

TYPED_TEST(LaPlacianTest, SymmetrisingOneWayEdgesAndPairs) {
    auto sums = graphOf<TypeParam>({{0, 0.5, 0.25}, {0.125, 0, 0}, {0, 0, 0}}, 1, 0, 0);
    sums->buildLaplacian(0);
    EXPECT_EQ(sums->get(0, 1), TypeParam(0.625));
    EXPECT_EQ(sums->get(1, 0), TypeParam(0.625));
    EXPECT_EQ(sums->get(0, 2), TypeParam(0.25));  // halved both ways, then summed again
    EXPECT_EQ(sums->get(2, 0), TypeParam(0.25));

    // A pair whose weights cancel keeps a stored 0 both ways.
    auto cancelling = graphOf<TypeParam>({{0, 0.5, 0}, {-0.5, 0, 1}, {0, -1, 0}}, 1, 0, 0);
    cancelling->buildLaplacian(0);
    EXPECT_EQ(cancelling->row(0).size(), 1u);
    EXPECT_EQ(cancelling->get(0, 1), TypeParam(0));
    EXPECT_EQ(cancelling->row(2).size(), 1u);

    auto mirror = graphOf<TypeParam>({{0, 0.5, 0.25}, {0.125, 0, 0}, {0, 0, 0}}, 0, 0, 0);
    mirror->buildLaplacian(0);
    EXPECT_EQ(mirror->get(0, 1), TypeParam(0.5));
    EXPECT_EQ(mirror->get(1, 0), TypeParam(0.125));
    EXPECT_EQ(mirror->get(2, 0), TypeParam(0.25));
}

TYPED_TEST(LaPlacianTest, IsolatedNodesKeepTheirDiagonal) {
    // Symmetric normalised: an isolated node has degree 0 and a stored 0.
    auto both = graphOf<TypeParam>({{0, 1, 0}, {1, 0, 0}, {0, 0, 0}}, 1, 1, 1);
    both->buildLaplacian(0);
    EXPECT_EQ(both->degrees()[2], TypeParam(0));
    EXPECT_EQ(both->row(2).size(), 1u);
    EXPECT_EQ(both->get(2, 2), TypeParam(0));
    EXPECT_EQ(both->get(0, 0), TypeParam(1));
    // Normalised only: every diagonal is 1, an empty row's too.
    auto normalized = graphOf<TypeParam>({{0, 1, 0}, {1, 0, 0}, {0, 0, 0}}, 1, 0, 1);
    normalized->buildLaplacian(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(normalized->get(i, i), TypeParam(1));
}

// A Laplacian handed a decomposition as a solver stores it.
template <class T>
class Decomposed : public LaPlacian<T> {
public:
    Decomposed() : LaPlacian<T>(3, 3, 1, 1, 1) {}

    // Eigenvalues 0.5 and 2, vectors as columns; method ARPACK.
    void store(std::initializer_list<double> columns) {
        this->freeDecomposition();
        this->m_method = LaEigen<T>::methodArpack;
        this->m_nEigen = 2;
        this->m_eigReal = std::make_unique<double[]>(2);
        this->m_eigReal[0] = 0.5;
        this->m_eigReal[1] = 2;
        this->m_eigImag = std::make_unique<double[]>(2);
        this->m_order = std::make_unique<int[]>(2);
        this->m_order[0] = 0;
        this->m_order[1] = 1;
        this->m_eigVec = MappedArray<double>(6);
        std::copy(columns.begin(), columns.end(), this->m_eigVec.data());
    }
};

TYPED_TEST(LaPlacianTest, EigenvectorsDividedByTheDegreeHaveUnitLength) {
    Decomposed<TypeParam> graph;
    graph.set(0, 1, 1);
    graph.set(1, 0, 1);
    graph.set(1, 2, 3);
    graph.set(2, 1, 3);
    graph.store({0.6, 0, 0.8, 0, -1, 0});
    const auto plain = graph.eigenvectors(0, 1);  // no degree yet: the flag does nothing
    EXPECT_NEAR(plain->get(2, 0), 0.8, 1e-6);
    graph.buildLaplacian(1);  // degrees 1, 2, sqrt(3)

    const auto values = graph.eigenvalues(1);
    ASSERT_EQ(values->rowCount(), 1);
    EXPECT_EQ(values->getAt(0), TypeParam(2));

    const auto undivided = graph.eigenvectors(0, 0);
    EXPECT_NEAR(undivided->get(2, 0), 0.8, 1e-6);
    EXPECT_NEAR(undivided->get(1, 1), 1, 1e-6);  // sign fixed: component 0 was 0

    const auto divided = graph.eigenvectors(0, 1);
    const double a = 0.6 / 1, c = 0.8 / std::sqrt(3.0), length = std::sqrt(a * a + c * c);
    EXPECT_NEAR(divided->get(0, 0), a / length, 1e-6);
    EXPECT_NEAR(divided->get(1, 0), 0, 1e-6);
    EXPECT_NEAR(divided->get(2, 0), c / length, 1e-6);
    EXPECT_NEAR(divided->get(1, 1), 1, 1e-6);

    const auto tail = graph.eigenvectors(1, 1);
    ASSERT_EQ(tail->colCount(), 1);
    EXPECT_NEAR(tail->get(1, 0), 1, 1e-6);
}

// The solver's product reads packed rows over a team: the same doubles as
// multiply, whichever thread summed which row.
TYPED_TEST(LaPlacianTest, SolverProductIsMultiplyBitForBit) {
    // About three and a half parts of entries, with the diagonal.
    const int perRow = 8, n = static_cast<int>(7 * PackedRows<TypeParam>::kEntriesPerPart / (2 * (perRow + 1)));
    LaPlacian<TypeParam> graph(n, n, 1, 0, 1);
    std::mt19937 draw(9);
    std::uniform_real_distribution<double> weight(0.01, 1.0);
    for (int i = 0; i < n; ++i)
        for (int e = 0; i != 17 && e < perRow; ++e)  // row 17 stays empty
            graph.set(i, static_cast<int>(draw() % n), static_cast<TypeParam>(weight(draw)));
    graph.buildLaplacian(0);
    std::vector<double> x(n), expected(n);
    for (double& e : x)
        e = weight(draw) - 0.5;
    graph.multiply(x.data(), expected.data());
    for (const unsigned helpers : {0u, 3u}) {
        WorkTeam team(helpers);
        const SolverProduct product = graph.solverProduct(team);
        std::vector<double> y(n, -1);
        product(x.data(), y.data());
        EXPECT_EQ(y, expected) << helpers << " helpers";
    }
}

TYPED_TEST(LaPlacianTest, UseWithoutRowsIsABrokenInvariant) {
    LaPlacian<TypeParam> empty(1, 0, 1);
    WorkTeam team(0);
    EXPECT_INVARIANT_REPORT(empty.solverProduct(team), "LaPlacian", 193, 0);
    double x = 1, y = 0;
    EXPECT_INVARIANT_REPORT(empty.get(0, 0), "LaPlacian", 98, 0);
    EXPECT_INVARIANT_REPORT(empty.set(0, 0, 1), "LaPlacian", 115, 0);
    EXPECT_INVARIANT_REPORT(empty.multiply(&x, &y), "LaPlacian", 193, 0);
    EXPECT_INVARIANT_REPORT(empty.buildLaplacian(0), "LaPlacian", 216, 0);
    EXPECT_INVARIANT_REPORT((LaPlacian<TypeParam>(2, 3, 0, 0, 0)), "LaPlacian", 397, 2);
}

}  // namespace

}  // namespace ovix
