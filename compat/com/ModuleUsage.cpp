#include "compat/com/ModuleUsage.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

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

void pinModule() {
    static std::once_flag pinned;
    std::call_once(pinned, [] {
        // Opening the module again, already loaded, with RTLD_NODELETE marks
        // it never to be unmapped; closing that handle keeps the mark. (Code
        // linked into a program is never unmapped anyway.)
        Dl_info info{};
        if (dladdr(&g_uses, &info) == 0 || !info.dli_fname)
            return;
        if (void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE))
            dlclose(handle);
    });
}

}  // namespace compat
