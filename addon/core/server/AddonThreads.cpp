#include "addon/core/server/AddonThreads.h"

#include "compat/com/ModuleUsage.h"

namespace ovix {

std::thread StartThread(std::unique_ptr<Thread> thread) {
    compat::pinModule();
    compat::moduleAddUse();
    try {
        return std::thread([work = std::move(thread)]() mutable {
            work->Run();
            work.reset();
            compat::moduleReleaseUse();
        });
    } catch (...) {
        compat::moduleReleaseUse();
        throw;
    }
}

}  // namespace ovix
