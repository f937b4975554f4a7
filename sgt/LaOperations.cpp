#include "sgt/LaOperations.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "sgt/KeyOrder.h"
#include "sgt/MappedArray.h"

namespace ovix {

namespace {

// The index of (i, j), j <= i, in a packed lower triangle.
std::size_t lowerIndex(int i, int j) {
    return static_cast<std::size_t>(i) * (static_cast<std::size_t>(i) + 1) / 2 + static_cast<std::size_t>(j);
}

// A value of T below `rank`.
template <class T>
T below(T rank) {
    const T lower = rank - 1;
    return lower < rank ? lower : std::nextafter(rank, -std::numeric_limits<T>::infinity());
}

}  // namespace

template <class T>
std::unique_ptr<LaVectorT<T>> transpose(const LaVector<T>& v) {
    auto result = std::make_unique<LaVectorT<T>>(v.rowCount());
    for (int i = 0; i < v.rowCount(); ++i)
        result->setAt(i, v.getAt(i));
    return result;
}

template <class T>
std::unique_ptr<LaDenseMatrix<T>> laTransposeDiagProduct(const LaMatrix<T>& V, const LaDiagonalMatrix<T>& K) {
    // Row by row of V, each (i, j) summing the rows in order: the same sums
    // as one (i, j) at a time, with each element of V read once.
    const int m = V.colCount();
    MappedArray<T> sums(lowerIndex(m, 0));  // the packed lower triangle of m x m
    std::vector<T> row(static_cast<std::size_t>(m));
    for (int k = 0; k < V.rowCount(); ++k) {
        const T weight = K.get(k, k);
        if (weight == 0)
            continue;
        for (int i = 0; i < m; ++i)
            row[i] = V.get(k, i);
        std::size_t next = 0;
        for (int i = 0; i < m; ++i)
            for (int j = 0; j <= i; ++j)
                sums[next++] += weight * row[i] * row[j];
    }
    auto result = std::make_unique<LaDenseMatrix<T>>(m, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j <= i; ++j) {
            result->set(i, j, sums[lowerIndex(i, j)]);
            result->set(j, i, sums[lowerIndex(i, j)]);
        }
    return result;
}

template <class T>
std::unique_ptr<LaVector<T>> laTransposeDiagVector(const LaMatrix<T>& V, const LaDiagonalMatrix<T>& K,
                                                   const LaVector<T>& g) {
    const int m = V.colCount();
    std::vector<T> sums(static_cast<std::size_t>(m));
    for (int j = 0; j < V.rowCount(); ++j) {
        const T weight = K.get(j, j);
        if (weight == 0)
            continue;
        const T target = g.getAt(j);
        for (int i = 0; i < m; ++i)
            sums[i] += weight * V.get(j, i) * target;
    }
    auto result = std::make_unique<LaVector<T>>(m);
    for (int i = 0; i < m; ++i)
        result->setAt(i, sums[i]);
    return result;
}

template <class T>
void laAddDiagonal(LaMatrix<T>& A, const LaDiagonalMatrix<T>& D) {
    const int n = std::min(A.rowCount(), A.colCount());
    for (int i = 0; i < n; ++i)
        A.set(i, i, A.get(i, i) + D.get(i, i));
}

template <class T>
T laMinErrorThreshold(LaVector<T>& ranks, const LaVector<T>& labels) {
    struct Pair {
        int sign;
        T rank;
    };
    const int n = ranks.rowCount();
    std::vector<Pair> pairs;
    pairs.reserve(static_cast<std::size_t>(n));
    int negatives = 0;
    for (int i = 0; i < n; ++i) {
        const T label = labels.getAt(i);
        const int sign = label > 0 ? 1 : label < 0 ? -1 : 0;
        negatives += sign < 0;
        pairs.push_back({sign, ranks.getAt(i)});
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return keyLess(a.rank, b.rank); });

    // Start with every document above the threshold: each negative errs.
    T threshold = n > 0 && !std::isnan(pairs[0].rank) ? below(pairs[0].rank) : T{0};
    int negAbove = negatives;
    int posBelow = 0;
    int best = negatives;
    for (std::size_t k = 0; k < pairs.size() && !std::isnan(pairs[k].rank); ++k) {
        negAbove -= pairs[k].sign < 0;
        posBelow += pairs[k].sign > 0;
        // A threshold lies above all equal ranks or none.
        if (k + 1 < pairs.size() && pairs[k + 1].rank == pairs[k].rank)
            continue;
        if (posBelow + negAbove <= best) {
            best = posBelow + negAbove;
            threshold = pairs[k].rank;
        }
    }
    for (int i = 0; i < n; ++i)
        ranks.setAt(i, ranks.getAt(i) - threshold);
    return threshold;
}

#define OVIX_INSTANTIATE(T)                                                                                            \
    template std::unique_ptr<LaVectorT<T>> transpose(const LaVector<T>&);                                              \
    template std::unique_ptr<LaDenseMatrix<T>> laTransposeDiagProduct(const LaMatrix<T>&, const LaDiagonalMatrix<T>&); \
    template std::unique_ptr<LaVector<T>> laTransposeDiagVector(const LaMatrix<T>&, const LaDiagonalMatrix<T>&,        \
                                                                const LaVector<T>&);                                   \
    template void laAddDiagonal(LaMatrix<T>&, const LaDiagonalMatrix<T>&);                                             \
    template T laMinErrorThreshold(LaVector<T>&, const LaVector<T>&);

OVIX_INSTANTIATE(float)
OVIX_INSTANTIATE(double)

}  // namespace ovix
