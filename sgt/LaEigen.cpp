#include "sgt/LaEigen.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "sgt/Invariant.h"
#include "sgt/KeyOrder.h"

namespace {

constexpr const char* kHeader = "sgt/LaEigen.h";

}  // namespace

template <class T>
int LaEigen<T>::solverIndex(int rank, int orderCheck, int methodCheck, int rankCheck) const {
    ovix::checkInvariant(order != nullptr, kHeader, orderCheck, rank);
    ovix::checkInvariant(method != methodNone, kHeader, methodCheck, 0);
    ovix::checkInvariant(rank >= 0 && rank < nEigen, kHeader, rankCheck, rank);
    return order[rank];
}

template <class T>
T LaEigen<T>::eigenvalue(int rank) const {
    const int index = solverIndex(rank, 71, 73, 75);
    ovix::checkInvariant(eigReal != nullptr, kHeader, 77, 1);
    return static_cast<T>(eigReal[index]);
}

template <class T>
T LaEigen<T>::eigenvalueImag(int rank) const {
    const int index = solverIndex(rank, 84, 86, 88);
    ovix::checkInvariant(eigImag != nullptr, kHeader, 90, 1);
    return static_cast<T>(eigImag[index]);
}

template <class T>
T LaEigen<T>::eigenvector(int rank, int component) const {
    const int column = solverIndex(rank, 97, 99, 101);
    ovix::checkInvariant(static_cast<bool>(eigVec), kHeader, 103, 1);
    const int n = dimension();
    ovix::checkInvariant(component >= 0 && component < n, kHeader, 105, component);
    const double* vector = eigVec.data() + static_cast<std::size_t>(column) * static_cast<std::size_t>(n);
    const double sign = vector[0] > 0 ? 1.0 : -1.0;
    return static_cast<T>(vector[component] * sign);
}

template <class T>
void LaEigen<T>::freeDecomposition() noexcept {
    eigReal.reset();
    eigImag.reset();
    eigVec = MappedArray<double>();
    order.reset();
    nEigen = 0;
    method = methodNone;
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
                      [](const auto& a, const auto& b) { return ovix::keyLess(a.second, b.second); });
    order = std::make_unique<int[]>(static_cast<std::size_t>(wanted));
    for (int r = 0; r < wanted; ++r)
        order[r] = pairs[r].first;
}

template class LaEigen<float>;
template class LaEigen<double>;
