#pragma once
// The ordered map of a FeatureDict, whose nodes come from the module's shared
// pool fidCountPool.

#include "base/LockedPool.h"
#include "base/PooledMap.h"
#include "features/Fid.h"

namespace ovix {

// The nodes of every FidCountMap of the process.
extern LockedPool fidCountPool;

// Fid to count, in memcmp order of the ids.
using FidCountMap = PooledMap<Fid, int, FidHash, fidCountPool>;

}  // namespace ovix
