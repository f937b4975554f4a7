#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sgt/LaPlacian.h"
#include "sgt/tests/Laplacians.h"

namespace ovix {

namespace {

template <class T>
class SpectraTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SpectraTest, ElementTypes);

// The Laplacian of an undirected graph with unit weights, or `bridge` for
// the edge from `bridged` to the node after it, by the flags (sumEdges,
// symmetric, normalized): each edge is stored one way and made symmetric by
// buildLaplacian.
template <class T>
std::unique_ptr<LaPlacian<T>> laplacianOf(const ovix::testing::Graph& g, int sumEdges, int symmetric, int normalized,
                                          int bridged = -1, double bridge = 1) {
    auto graph = std::make_unique<LaPlacian<T>>(g.n, g.n, sumEdges, symmetric, normalized);
    for (const auto& [i, j] : g.edges)
        graph->set(i, j, 1);
    if (bridged >= 0)
        graph->set(bridged, bridged + 1, static_cast<T>(bridge));
    graph->buildLaplacian(0);
    return graph;
}

// Decomposes the D - W Laplacian of g for its `count` smallest eigenpairs
// through the iterative solver and checks them against g's spectrum, with the
// residual |L v - lambda v| of every pair.
template <class T>
void expectSpectrum(const ovix::testing::Graph& g, int count) {
    auto pointer = laplacianOf<T>(g, 0, 1, 0);
    LaPlacian<T>& laplacian = *pointer;
    const int n = laplacian.dimension();
    const std::vector<double>& expected = g.spectrum;
    ASSERT_EQ(laplacian.decomposeArpack(count, laplacian, 1, 1), count);
    const double tolerance = std::is_same_v<T, float> ? 2e-4 : 1e-8;
    std::vector<double> v(static_cast<std::size_t>(n)), product(static_cast<std::size_t>(n));
    for (int r = 0; r < count; ++r) {
        const double lambda = laplacian.eigenvalue(r);
        EXPECT_NEAR(lambda, expected[static_cast<std::size_t>(r)], tolerance) << "rank " << r;
        for (int j = 0; j < n; ++j)
            v[static_cast<std::size_t>(j)] = laplacian.eigenvector(r, j);
        laplacian.multiply(v.data(), product.data());
        double residual = 0, length = 0;
        for (std::size_t j = 0; j < v.size(); ++j) {
            residual += std::pow(product[j] - lambda * v[j], 2);
            length += v[j] * v[j];
        }
        EXPECT_NEAR(length, 1, 10 * tolerance) << "rank " << r;
        EXPECT_LT(std::sqrt(residual), 10 * tolerance) << "rank " << r;
    }
}

TYPED_TEST(SpectraTest, ClosedFormSpectraThroughTheIterativeSolver) {
    expectSpectrum<TypeParam>(ovix::testing::path(60), 5);
    expectSpectrum<TypeParam>(ovix::testing::cycle(60), 5);
    expectSpectrum<TypeParam>(ovix::testing::complete(40), 4);
    expectSpectrum<TypeParam>(ovix::testing::cliques({25, 25}), 4);
}

// The normalised cut of two cliques of m nodes joined by one edge of weight
// `bridge`, in a graph of unit weights: each side's cut over its cut and its
// inner weight (both directions).
double cliqueCut(int m, double bridge) {
    return 2 * bridge / (bridge + m * (m - 1.0));
}

TYPED_TEST(SpectraTest, WeaklyJoinedCliquesSplitApart) {
    const double bridge = 0.01;
    // 20 + 20 nodes take the dense solver, 60 + 60 the iterative one.
    for (const int m : {20, 60}) {
        // sumEdges, symmetric, normalized: the clustering's, the classifier's
        // default, and the two symmetric Laplacians.
        for (const auto& [sums, symmetric, normalized] :
             std::vector<std::tuple<int, int, int>>{{1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 1}}) {
            // One more node, joined to the first clique, is not marked: the
            // split takes the sub-graph of the two cliques.
            auto g = ovix::testing::cliques({m, m, 1});
            g.edges.emplace_back(0, 2 * m);
            auto laplacian = laplacianOf<TypeParam>(g, sums, symmetric, normalized, m - 1, bridge);
            std::vector<int> marks(static_cast<std::size_t>(2 * m + 1), 4);
            marks.back() = -3;
            int sizeA = -1, sizeB = -1;
            const double cut = laplacian->cluster(marks.data(), 4, 7, 8, sizeA, sizeB, 0, nullptr);
            const std::string what = "m " + std::to_string(m) + " flags " + std::to_string(sums) +
                                     std::to_string(symmetric) + std::to_string(normalized);
            EXPECT_EQ(sizeA, m) << what;
            EXPECT_EQ(sizeB, m) << what;
            for (int i = 1; i < m; ++i) {
                EXPECT_EQ(marks[static_cast<std::size_t>(i)], marks[0]) << what;
                EXPECT_EQ(marks[static_cast<std::size_t>(m + i)], marks[static_cast<std::size_t>(m)]) << what;
            }
            EXPECT_NE(marks[0], marks[static_cast<std::size_t>(m)]) << what;
            EXPECT_EQ(marks.back(), -3) << what;
            EXPECT_GT(cut, 0) << what;
            if (symmetric && !normalized) {  // D - W: the cut of the weights themselves
                EXPECT_NEAR(cut, cliqueCut(m, bridge), 1e-6) << what;
            }
        }
    }
}

TYPED_TEST(SpectraTest, AllNodesMarkedUseTheHeldDecomposition) {
    const int m = 15;
    auto laplacian = laplacianOf<TypeParam>(ovix::testing::cliques({m, m}), 1, 1, 1, m - 1, 0.001);
    std::vector<int> marks(static_cast<std::size_t>(2 * m), 1);
    int sizeA = 0, sizeB = 0;

    laplacian->decomposeSpev(1, *laplacian, 1);
    EXPECT_THROW(laplacian->cluster(marks.data(), 1, 0, 1, sizeA, sizeB, 0, nullptr), std::runtime_error);
    EXPECT_EQ(marks, std::vector<int>(static_cast<std::size_t>(2 * m), 1));

    laplacian->decomposeSpev(3, *laplacian, 1);
    laplacian->cluster(marks.data(), 1, 0, 1, sizeA, sizeB, 0, nullptr);
    EXPECT_EQ(sizeA, m);
    EXPECT_EQ(sizeB, m);
    EXPECT_NE(marks[0], marks[static_cast<std::size_t>(m)]);
}

TYPED_TEST(SpectraTest, SplittingFewerThanTwoNodesIsAThrownText) {
    auto laplacian = laplacianOf<TypeParam>(ovix::testing::path(3), 1, 0, 1);
    std::vector<int> marks{1, 0, 0};
    int sizeA = 0, sizeB = 0;
    try {
        laplacian->cluster(marks.data(), 1, 5, 6, sizeA, sizeB, 0, nullptr);
        ADD_FAILURE() << "split one node";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cannot split 1 nodes in two");
    }
    EXPECT_EQ(marks, (std::vector<int>{1, 0, 0}));
}

}  // namespace

}  // namespace ovix
