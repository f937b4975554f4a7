// LaPlacian's two-way split of a set of nodes and the normalised cut.

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/FormatFixed.h"
#include "sgt/LaPlacian.h"

namespace ovix {

namespace {

// The dense solver decomposes a sub-Laplacian of at most this many nodes
// whole; above it the iterative one finds the two smallest eigenpairs.
constexpr int kLargestDenseSplit = 100;

void write(std::FILE* log, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), log);
}

}  // namespace

template <class T>
std::unique_ptr<LaPlacian<T>> LaPlacian<T>::subGraph(std::span<const int> parents) const {
    const int nc = static_cast<int>(parents.size());
    auto sub = std::make_unique<LaPlacian>(nc, nc, m_sumEdges, m_symmetric, m_normalized);
    std::vector<int> subIndex(static_cast<std::size_t>(this->m_rows), -1);
    for (int s = 0; s < nc; ++s)
        subIndex[static_cast<std::size_t>(parents[static_cast<std::size_t>(s)])] = s;

    // The weight between two nodes, recovered from this matrix's entries;
    // p is the node of the larger sub-index. The symmetric normalised
    // Laplacian holds -w / (d(p) d(q)); D - W holds -w; the normalised one
    // holds -w over a row sum, whose sign its sub-Laplacian cancels; an
    // unbuilt graph holds w.
    const bool scaled = m_symmetric && m_degree;
    const bool negated = m_symmetric && !m_normalized && m_laplacianBuilt;
    const auto weight = [&](int p, int q, T lpq, T lqp) -> T {
        if (scaled)
            return -lpq * m_degree[static_cast<std::size_t>(q)] * m_degree[static_cast<std::size_t>(p)];
        const T mean = (lpq + lqp) / 2;
        return negated ? -mean : mean;
    };

    // Only pairs with an entry either way can have a weight: each is taken
    // once, from the row of its larger sub-index when that row holds it.
    for (int j = 0; j < nc; ++j) {
        const int p = parents[static_cast<std::size_t>(j)];
        for (const auto& [q, lpq] : m_rowMaps[static_cast<std::size_t>(p)]) {
            const int k = subIndex[static_cast<std::size_t>(q)];
            if (k < 0 || k == j)
                continue;
            T w;
            if (k < j)
                w = weight(p, q, lpq, get(q, p));
            else if (!m_rowMaps[static_cast<std::size_t>(q)].contains(p))
                w = weight(q, p, T(0), lpq);
            else
                continue;
            sub->set(j, k, w);
            sub->set(k, j, w);
        }
    }
    return sub;
}

template <class T>
double LaPlacian<T>::cluster(int* marks, int key, int a, int b, int& sizeA, int& sizeB, int verbosity,
                             std::FILE* log) {
    if (!log)
        log = stderr;
    std::vector<int> parents;  // sub-index -> node
    for (int i = 0; i < this->m_rows; ++i)
        if (marks[i] == key)
            parents.push_back(i);
    const int nc = static_cast<int>(parents.size());
    if (nc < 2)
        throw std::runtime_error("cannot split " + std::to_string(nc) + " nodes in two");
    if (verbosity >= 4) {
        write(log, "Laplacian after entering cluster method\n");
        this->print(log);
    }

    std::unique_ptr<LaDenseMatrix<T>> vectors;
    std::unique_ptr<LaVector<T>> values;
    if (nc == this->m_rows && this->m_method != LaEigen<T>::methodNone) {
        if (this->eigenCount() < 2)
            throw std::runtime_error("cannot split by " + std::to_string(this->eigenCount()) +
                                     " eigenpairs; 2 are needed");
        vectors = eigenvectors(0, 1);
        values = eigenvalues(0);
    } else {
        auto sub = subGraph(parents);
        if (verbosity >= 4) {
            write(log, "Sub Laplacian after entering cluster method\n");
            sub->print(log);
        }
        sub->buildLaplacian(1);
        if (verbosity >= 4) {
            write(log, "Sub Laplacian after normalization\n");
            sub->print(log);
        }
        if (nc <= kLargestDenseSplit)
            sub->decomposeGeev(2, *sub, 1);
        else
            sub->decomposeArpack(2, *sub, m_symmetric, 1);
        if (sub->eigenCount() < 2)
            throw std::runtime_error("the solver found " + std::to_string(sub->eigenCount()) +
                                     " of the 2 eigenpairs that a split needs");
        vectors = sub->eigenvectors(0, 1);
        values = sub->eigenvalues(0);
    }

    // Near 0 somewhere on the smallest eigenvector: the nodes fall apart.
    const double threshold = 1 / (2 * std::sqrt(static_cast<double>(nc)));
    bool trivial = false;
    for (int s = 0; s < nc && !trivial; ++s) {
        const double found = std::fabs(vectors->get(s, 0));
        if (found < threshold) {
            trivial = true;
            if (verbosity >= 1) {
                std::string line = "clustering trivial cut (1/(sqrt(nc)*2) ";
                appendFixed(line, threshold, 6);
                line += " found ";
                appendFixed(line, found, 6);
                line += ")\n";
                write(log, line);
            }
        }
    }
    if (verbosity >= 4) {
        write(log, "Eigenvalues and Eigenvectors \n");
        values->print(log);
        vectors->print(log);
    }

    sizeA = 0;
    sizeB = 0;
    for (int s = 0; s < nc; ++s) {
        const bool partA = trivial ? std::fabs(vectors->get(s, 0)) < threshold : vectors->get(s, 1) < 0;
        marks[parents[static_cast<std::size_t>(s)]] = partA ? a : b;
        ++(partA ? sizeA : sizeB);
    }
    return trivial ? 0 : ncut(marks, a, b);
}

// The sums run over the stored entries in row and column order, which adds
// the same terms in the same order as a walk over every pair (an absent entry
// adds nothing).
template <class T>
double LaPlacian<T>::ncut(const int* marks, int a, int b) const {
    double cutAB = 0, cutBA = 0, assocA = 0, assocB = 0;
    for (int i = 0; i < this->m_rows; ++i) {
        const int from = marks[i];
        if (from != a && from != b)
            continue;
        for (const auto& [j, w] : row(i)) {
            if (j == i)
                continue;
            const int to = marks[j];
            if (from == a) {
                if (to == a)
                    assocA += w;
                else if (to == b)
                    cutAB += w;
            } else {
                if (to == b)
                    assocB += w;
                else if (to == a)
                    cutBA += w;
            }
        }
    }
    return cutBA / (cutBA + assocB) + cutAB / (cutAB + assocA);
}

template std::unique_ptr<LaPlacian<float>> LaPlacian<float>::subGraph(std::span<const int>) const;
template std::unique_ptr<LaPlacian<double>> LaPlacian<double>::subGraph(std::span<const int>) const;
template double LaPlacian<float>::cluster(int*, int, int, int, int&, int&, int, std::FILE*);
template double LaPlacian<double>::cluster(int*, int, int, int, int&, int&, int, std::FILE*);
template double LaPlacian<float>::ncut(const int*, int, int) const;
template double LaPlacian<double>::ncut(const int*, int, int) const;

}  // namespace ovix
