#pragma once
// Dense graph Laplacians whose spectra are known in closed form, for the
// solver tests.

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

#include "sgt/LaDenseMatrix.h"

namespace ovix::testing {

// A dense matrix that tells how it was decomposed.
template <class T>
class Decomposable : public LaDenseMatrix<T> {
public:
    explicit Decomposable(int n) : LaDenseMatrix<T>(n, n) {}
    int solvedBy() const { return this->m_method; }
    bool holdsVectors() const { return static_cast<bool>(this->m_eigVec); }
};

// A graph of n nodes with unit weights, its Laplacian D - W, and the
// eigenvalues of that Laplacian in ascending order.
struct Graph {
    int n = 0;
    std::vector<std::pair<int, int>> edges;
    std::vector<double> spectrum;

    template <class T>
    std::unique_ptr<Decomposable<T>> laplacian() const {
        auto L = std::make_unique<Decomposable<T>>(n);
        for (const auto& [i, j] : edges) {
            L->set(i, j, L->get(i, j) - 1);
            L->set(j, i, L->get(j, i) - 1);
            L->set(i, i, L->get(i, i) + 1);
            L->set(j, j, L->get(j, j) + 1);
        }
        return L;
    }
};

inline Graph path(int n) {
    Graph g;
    g.n = n;
    for (int i = 0; i + 1 < n; ++i)
        g.edges.emplace_back(i, i + 1);
    for (int k = 0; k < n; ++k)
        g.spectrum.push_back(2 - 2 * std::cos(std::numbers::pi * k / n));
    std::sort(g.spectrum.begin(), g.spectrum.end());
    return g;
}

inline Graph cycle(int n) {
    Graph g;
    g.n = n;
    for (int i = 0; i < n; ++i)
        g.edges.emplace_back(i, (i + 1) % n);
    for (int k = 0; k < n; ++k)
        g.spectrum.push_back(2 - 2 * std::cos(2 * std::numbers::pi * k / n));
    std::sort(g.spectrum.begin(), g.spectrum.end());
    return g;
}

// Cliques of the given sizes, side by side and unconnected.
inline Graph cliques(std::vector<int> sizes) {
    Graph g;
    for (const int size : sizes) {
        for (int i = 0; i < size; ++i)
            for (int j = i + 1; j < size; ++j)
                g.edges.emplace_back(g.n + i, g.n + j);
        g.spectrum.push_back(0);
        g.spectrum.insert(g.spectrum.end(), size - 1, size);
        g.n += size;
    }
    std::sort(g.spectrum.begin(), g.spectrum.end());
    return g;
}

inline Graph complete(int n) {
    return cliques({n});
}

}  // namespace ovix::testing
