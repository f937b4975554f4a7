#include "compat/system/TimeCriticalPriority.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

struct Priority {
    int policy = -1;
    int realTime = -1;
    int nice = 0;
};

Priority currentPriority() {
    Priority priority;
    sched_param parameters{};
    pthread_getschedparam(pthread_self(), &priority.policy, &parameters);
    priority.realTime = parameters.sched_priority;
    priority.nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    return priority;
}

TEST(TimeCriticalPriority, RaisesOnlyTheCallingThreadOrLeavesItAsItWas) {
    // On a thread of its own, so that the test's main thread keeps its priority.
    Priority before, after;
    bool raised = false;
    std::thread([&] {
        before = currentPriority();
        raised = compat::raiseToTimeCritical();
        after = currentPriority();
    }).join();
    if (raised) {
        const bool realTime = after.policy == SCHED_FIFO && after.realTime == sched_get_priority_max(SCHED_FIFO);
        EXPECT_TRUE(realTime || after.nice < before.nice);
    } else {
        EXPECT_EQ(after.policy, before.policy);
        EXPECT_EQ(after.nice, before.nice);
    }
    const Priority mine = currentPriority();
    EXPECT_EQ(mine.policy, before.policy);
    EXPECT_EQ(mine.nice, before.nice);
}

}  // namespace
