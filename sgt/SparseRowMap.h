#pragma once
// The sparse rows of the Laplacians, whose nodes come from the module's shared
// pools: one for single-precision rows, one for double-precision rows.

#include <functional>

#include "base/LockedPool.h"
#include "base/PooledMap.h"

namespace ovix {

// The nodes of every SparseRowMap<float>, and of every SparseRowMap<double>,
// of the process.
extern LockedPool floatRowPool;
extern LockedPool doubleRowPool;

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

// Column to weight, ascending: one sparse row of a LaPlacian<T>.
template <class T>
using SparseRowMap = PooledMap<int, T, std::less<int>, SparseRowPool<T>::pool>;

}  // namespace ovix
