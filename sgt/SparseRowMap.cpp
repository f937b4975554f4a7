#include "sgt/SparseRowMap.h"

namespace ovix {

constinit LockedPool floatRowPool;
constinit LockedPool doubleRowPool;

}  // namespace ovix
