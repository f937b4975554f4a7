#pragma once
// The ordered maps of the module whose nodes come from its shared pools
// (features/FidCountMap.h holds the one keyed by feature ids).

#include <functional>
#include <map>
#include <utility>

#include "base/LockedPool.h"
#include "base/PoolAllocator.h"

namespace ovix {

// Column to weight, ascending: one sparse row of a LaPlacian<T>.
template <class T>
struct SparseRowPool;
template <>
struct SparseRowPool<float> {
    static constexpr LockedPool& pool = floatRowPool;
};
template <>
struct SparseRowPool<double> {
    static constexpr LockedPool& pool = doubleRowPool;
};

template <class T>
using SparseRowMap = std::map<int, T, std::less<int>, PoolAllocator<std::pair<const int, T>, SparseRowPool<T>::pool>>;

}  // namespace ovix
