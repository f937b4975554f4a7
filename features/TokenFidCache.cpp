#include "features/TokenFidCache.h"

namespace ovix {

TokenFidCache& TokenFidCache::forThisThread() {
    thread_local const std::unique_ptr<TokenFidCache> cache = std::make_unique<TokenFidCache>();
    return *cache;
}

}  // namespace ovix
