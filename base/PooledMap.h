#pragma once
// An ordered map whose nodes come from a shared pool (LockedPool.h): each
// layer declares its pools and its maps over them beside the code that uses
// them.

#include <map>
#include <utility>

#include "base/LockedPool.h"
#include "base/PoolAllocator.h"

namespace ovix {

template <class Key, class Value, class Compare, LockedPool& Pool>
using PooledMap = std::map<Key, Value, Compare, PoolAllocator<std::pair<const Key, Value>, Pool>>;

}  // namespace ovix
