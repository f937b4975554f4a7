#pragma once
// The ordered maps of the module whose nodes come from its shared pools.

#include <functional>
#include <map>
#include <utility>

#include "features/Fid.h"
#include "features/LockedPool.h"
#include "features/PoolAllocator.h"

namespace ovix {

// Fid to count, in memcmp order of the ids: the map of a FeatureDict.
using FidCountMap = std::map<Fid, int, FidHash, PoolAllocator<std::pair<const Fid, int>, fidCountPool>>;

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
