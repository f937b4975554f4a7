#include "compat/com/ModuleUsage.h"

#include <atomic>

namespace compat {

namespace {

std::atomic<long> g_uses{0};

}  // namespace

void moduleAddUse() {
    g_uses.fetch_add(1, std::memory_order_relaxed);
}

void moduleReleaseUse() {
    g_uses.fetch_sub(1, std::memory_order_acq_rel);
}

bool moduleCanUnload() {
    return g_uses.load(std::memory_order_acquire) == 0;
}

}  // namespace compat
