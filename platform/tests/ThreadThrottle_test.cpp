#include "platform/ThreadThrottle.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <thread>
#include <vector>

#include "compat/system/ThreadSuspension.h"
#include "compat/system/tests/BusyWorker.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::failureOf;
using ovix::testing::BusyWorker;
using Clock = std::chrono::steady_clock;

std::size_t threadsOfThisProcess() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// Waits until a thread has been stopped since `before`; false after 5 s.
bool suspendedSince(std::uint64_t before) {
    const auto deadline = Clock::now() + 5s;
    while (compat::suspensionCount() == before) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// How far `throttled` and `twin` count over `span`.
std::pair<std::uint64_t, std::uint64_t> progressOver(const BusyWorker& throttled, const BusyWorker& twin,
                                                     std::chrono::milliseconds span) {
    const auto throttledStart = throttled.progress();
    const auto twinStart = twin.progress();
    std::this_thread::sleep_for(span);
    return {throttled.progress() - throttledStart, twin.progress() - twinStart};
}

TEST(ThreadThrottle, ARegisteredWorkerRunsClearlyLessThanItsTwin) {
    std::atomic<int> percentage{30};
    ThreadThrottle throttle(percentage);
    BusyWorker throttled;
    BusyWorker twin;
    throttle.registerThread(static_cast<unsigned long>(throttled.tid()));
    throttle.start();
    const auto [throttledSteps, twinSteps] = progressOver(throttled, twin, 1000ms);
    throttle.stop();
    ASSERT_GT(twinSteps, 0u);
    EXPECT_GT(throttledSteps, 0u);
    EXPECT_LT(static_cast<double>(throttledSteps), 0.7 * static_cast<double>(twinSteps));
}

TEST(ThreadThrottle, NoneAndFullShareNeverSuspend) {
    for (const int share : {0, 100}) {
        std::atomic<int> percentage{share};
        ThreadThrottle throttle(percentage);
        BusyWorker registered;
        BusyWorker twin;
        throttle.registerThread(static_cast<unsigned long>(registered.tid()));
        const auto stopsBefore = compat::suspensionCount();
        throttle.start();
        const auto [registeredSteps, twinSteps] = progressOver(registered, twin, 400ms);
        throttle.stop();
        EXPECT_EQ(compat::suspensionCount(), stopsBefore) << share;
        EXPECT_GT(static_cast<double>(registeredSteps), 0.4 * static_cast<double>(twinSteps)) << share;
    }
}

TEST(ThreadThrottle, RegisteringTwiceKeepsOneEntryThatOneDeregistrationRemoves) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    BusyWorker worker;
    const auto tid = static_cast<unsigned long>(worker.tid());
    throttle.registerThread(tid);
    throttle.registerThread(tid);
    throttle.deregisterThread(tid);
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    std::this_thread::sleep_for(350ms);
    throttle.stop();
    EXPECT_EQ(compat::suspensionCount(), stopsBefore);
}

TEST(ThreadThrottle, IdZeroActsOnTheCallingThread) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    throttle.registerThread(0);
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    EXPECT_TRUE(suspendedSince(stopsBefore));
    throttle.deregisterThread(0);
    const auto stopsAfter = compat::suspensionCount();
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(compat::suspensionCount(), stopsAfter);
    throttle.stop();
}

TEST(ThreadThrottle, DeregisteringAnUnknownIdChangesNothing) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    BusyWorker worker;
    throttle.registerThread(static_cast<unsigned long>(worker.tid()));
    throttle.deregisterThread(static_cast<unsigned long>(ovix::testing::endedThreadId()));
    throttle.deregisterThread(ULONG_MAX);
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    EXPECT_TRUE(suspendedSince(stopsBefore));
    throttle.stop();
}

TEST(ThreadThrottle, RegisteringAnIdThatIsNoThreadOfThisProcessFailsAndChangesNothing) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    // The third one is the caller's id in its low 32 bits.
    for (const unsigned long tid :
         {static_cast<unsigned long>(ovix::testing::endedThreadId()), static_cast<unsigned long>(getppid()),
          (1UL << 32) + static_cast<unsigned long>(gettid()), ULONG_MAX})
        EXPECT_EQ(failureOf([&] { throttle.registerThread(tid); }), "OpenThread failed") << tid;
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    std::this_thread::sleep_for(350ms);
    throttle.stop();
    EXPECT_EQ(compat::suspensionCount(), stopsBefore);
}

TEST(ThreadThrottle, StartingTwiceMakesOneThreadAndStopEndsIt) {
    std::atomic<int> percentage{0};
    ThreadThrottle throttle(percentage);
    const auto threadsBefore = threadsOfThisProcess();
    EXPECT_FALSE(throttle.running());
    throttle.start();
    throttle.start();
    EXPECT_TRUE(throttle.running());
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore + 1);
    throttle.stop();
    EXPECT_FALSE(throttle.running());
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore);
    throttle.start();
    EXPECT_TRUE(throttle.running());
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore + 1);
    throttle.stop();

    // Callers that start it at the same moment still make one thread.
    std::atomic<bool> go{false};
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i)
        callers.emplace_back([&] {
            while (!go)
                std::this_thread::yield();
            throttle.start();
        });
    go = true;
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore + 1);
}

TEST(ThreadThrottle, StopReturnsPromptlyWhetherIdleOrNotRunning) {
    std::atomic<int> percentage{0};
    ThreadThrottle throttle(percentage);
    auto began = Clock::now();
    throttle.stop();
    EXPECT_LT(Clock::now() - began, 100ms);

    // The idle check sleeps for a second; stop does not wait for it.
    throttle.start();
    std::this_thread::sleep_for(50ms);
    began = Clock::now();
    throttle.stop();
    EXPECT_LT(Clock::now() - began, 500ms);
}

TEST(ThreadThrottle, StopAndDestructionLeaveNoThreadSuspended) {
    BusyWorker first;
    BusyWorker second;
    std::atomic<int> percentage{10};
    // Stopped at different points of the cycle, mostly while the workers are held.
    for (const auto running : {20ms, 45ms, 130ms, 260ms}) {
        {
            ThreadThrottle throttle(percentage);
            throttle.registerThread(static_cast<unsigned long>(first.tid()));
            throttle.registerThread(static_cast<unsigned long>(second.tid()));
            throttle.start();
            std::this_thread::sleep_for(running);
            throttle.stop();
            EXPECT_TRUE(first.advancesWithin(5s)) << running.count();
            EXPECT_TRUE(second.advancesWithin(5s)) << running.count();
            throttle.start();
            std::this_thread::sleep_for(running);
        }
        EXPECT_TRUE(first.advancesWithin(5s)) << running.count();
        EXPECT_TRUE(second.advancesWithin(5s)) << running.count();
    }
}

TEST(ThreadThrottle, AShareSetToZeroEndsTheSuspendingFromTheNextCycle) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    BusyWorker worker;
    throttle.registerThread(static_cast<unsigned long>(worker.tid()));
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    ASSERT_TRUE(suspendedSince(stopsBefore));
    percentage = 0;
    std::this_thread::sleep_for(150ms);  // the cycle under way ends
    const auto stopsAfter = compat::suspensionCount();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(compat::suspensionCount(), stopsAfter);
    EXPECT_TRUE(worker.advancesWithin(5s));
    throttle.stop();
}

TEST(ThreadThrottle, ARegisteredThreadThatEndedKeepsItsEntryAndIsSkipped) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    auto ended = std::make_unique<BusyWorker>();
    const auto endedTid = static_cast<unsigned long>(ended->tid());
    BusyWorker living;
    throttle.registerThread(endedTid);
    throttle.registerThread(static_cast<unsigned long>(living.tid()));
    ended.reset();
    // Still registered: not opened again, so no failure.
    EXPECT_EQ(failureOf([&] { throttle.registerThread(endedTid); }), "(no failure)");
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    EXPECT_TRUE(suspendedSince(stopsBefore));
    throttle.stop();
    EXPECT_TRUE(living.advancesWithin(5s));
    throttle.deregisterThread(endedTid);
}

}  // namespace

}  // namespace ovix
