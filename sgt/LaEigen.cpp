#include "sgt/LaEigen.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "sgt/Invariant.h"
#include "sgt/KeyOrder.h"

namespace ovix {

template <class T>
int LaEigen<T>::solverIndex(int rank, LaEigenCheck orderCheck, LaEigenCheck methodCheck, LaEigenCheck rankCheck) const {
    checkInvariant(m_order != nullptr, orderCheck, rank);
    checkInvariant(m_method != methodNone, methodCheck, 0);
    checkInvariant(rank >= 0 && rank < m_nEigen, rankCheck, rank);
    return m_order[rank];
}

template <class T>
T LaEigen<T>::eigenvalue(int rank) const {
    const int index =
        solverIndex(rank, LaEigenCheck::eigenvalueOrder, LaEigenCheck::eigenvalueMethod, LaEigenCheck::eigenvalueRank);
    checkInvariant(m_eigReal != nullptr, LaEigenCheck::eigenvalueArray, 1);
    return static_cast<T>(m_eigReal[index]);
}

template <class T>
T LaEigen<T>::eigenvalueImag(int rank) const {
    const int index = solverIndex(rank, LaEigenCheck::eigenvalueImagOrder, LaEigenCheck::eigenvalueImagMethod,
                                  LaEigenCheck::eigenvalueImagRank);
    checkInvariant(m_eigImag != nullptr, LaEigenCheck::eigenvalueImagArray, 1);
    return static_cast<T>(m_eigImag[index]);
}

template <class T>
T LaEigen<T>::eigenvector(int rank, int component) const {
    const int column = solverIndex(rank, LaEigenCheck::eigenvectorOrder, LaEigenCheck::eigenvectorMethod,
                                   LaEigenCheck::eigenvectorRank);
    checkInvariant(static_cast<bool>(m_eigVec), LaEigenCheck::eigenvectorArray, 1);
    const int n = dimension();
    checkInvariant(component >= 0 && component < n, LaEigenCheck::eigenvectorComponent, component);
    const double* vector = m_eigVec.data() + static_cast<std::size_t>(column) * static_cast<std::size_t>(n);
    const double sign = vector[0] > 0 ? 1.0 : -1.0;
    return static_cast<T>(vector[component] * sign);
}

template <class T>
SolverProduct LaEigen<T>::solverProduct(WorkTeam&) const {
    return [this](const double* x, double* y) { multiply(x, y); };
}

template <class T>
void LaEigen<T>::freeDecomposition() noexcept {
    m_eigReal.reset();
    m_eigImag.reset();
    m_eigVec = MappedArray<double>();
    m_order.reset();
    m_nEigen = 0;
    m_method = methodNone;
}

template <class T>
int LaEigen<T>::orderToHold(const LaEigen& A) const {
    const int n = A.dimension();
    if (n != dimension())
        throw std::invalid_argument("a matrix of order " + std::to_string(dimension()) +
                                    " cannot hold the decomposition of one of order " + std::to_string(n));
    return n;
}

template <class T>
void LaEigen<T>::rankSmallest(const double* values, int n, int wanted) {
    std::vector<std::pair<int, T>> pairs(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        pairs[i] = {i, static_cast<T>(values[i])};
    std::partial_sort(pairs.begin(), pairs.begin() + wanted, pairs.end(),
                      [](const auto& a, const auto& b) { return keyLess(a.second, b.second); });
    m_order = std::make_unique<int[]>(static_cast<std::size_t>(wanted));
    for (int r = 0; r < wanted; ++r)
        m_order[r] = pairs[r].first;
}

template class LaEigen<float>;
template class LaEigen<double>;

}  // namespace ovix
