#include "features/FidCountMap.h"

namespace ovix {

constinit LockedPool fidCountPool;

}  // namespace ovix
