#pragma once
// The ordered map of a FeatureDict, whose nodes come from the module's shared
// pool fidCountPool (base/LockedPool.h).

#include <map>
#include <utility>

#include "base/LockedPool.h"
#include "base/PoolAllocator.h"
#include "features/Fid.h"

namespace ovix {

// Fid to count, in memcmp order of the ids.
using FidCountMap = std::map<Fid, int, FidHash, PoolAllocator<std::pair<const Fid, int>, fidCountPool>>;

}  // namespace ovix
