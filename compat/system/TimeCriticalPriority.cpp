#include "compat/system/TimeCriticalPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace compat {

bool raiseToTimeCritical() {
    sched_param realTime{};
    realTime.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (realTime.sched_priority >= 0 && pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime) == 0)
        return true;

    // Nice values act per thread on Linux; the limit allows down to 20 - rlim_cur.
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0)
        return false;
    const int floor = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= 40 ? -20 : 20 - static_cast<int>(limit.rlim_cur);
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (errno != 0 || floor >= current)
        return false;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), floor) == 0;
}

}  // namespace compat
