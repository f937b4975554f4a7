#include "compat/system/ThreadNice.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace compat {

std::optional<int> currentThreadNice() {
    // -1 is a valid value: only errno tells a failure.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (nice == -1 && errno != 0)
        return std::nullopt;
    return nice;
}

bool setCurrentThreadNice(int nice) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice) == 0;
}

}  // namespace compat
