#include "platform/host/ThreadThrottle.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "compat/system/ThreadSuspension.h"
#include "compat/system/tests/BusyWorker.h"
#include "compat/system/tests/OwnPidNamespace.h"
#include "testing/BlockedThread.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::failureOf;
using ovix::testing::BusyWorker;
using Clock = std::chrono::steady_clock;

using ovix::testing::threadIdsOfThisProcess;

// How long a test waits for an event before it calls it missing: a loaded
// machine may leave the throttle's threads without the processor for seconds.
constexpr auto kEventLimit = 60s;

// Waits until a thread has been stopped since `before`; false after
// kEventLimit.
bool suspendedSince(std::uint64_t before) {
    return ovix::testing::eventually([&] { return compat::suspensionCount() != before; }, kEventLimit);
}

// How many times thread `tid` of this process has blocked (its voluntary
// context switches): a busy worker blocks only when it is stopped.
std::uint64_t timesBlocked(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("voluntary_ctxt_switches:"))
            return std::stoull(line.substr(line.find(':') + 1));
    }
    return 0;
}

// The processor time thread `tid` of this process has had, in seconds.
double cpuSeconds(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index)
        if (index >= 14)  // user and system time
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The share of a processor that thread `tid` has had over `span` of wall
// time: load on the machine can only lower it.
double cpuShareOver(pid_t tid, std::chrono::milliseconds span) {
    const double before = cpuSeconds(tid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(span);
    return (cpuSeconds(tid) - before) / std::chrono::duration<double>(Clock::now() - start).count();
}

// At 10% a worker runs about a tenth of the time. A thread that never takes
// the requests (it blocks every signal) is registered first: it delays no
// one.
TEST(ThreadThrottle, ARegisteredWorkerRunsItsShareEvenBesideAThreadThatBlocksTheRequests) {
    std::promise<void> done;
    std::atomic<pid_t> blockerTid{0};
    std::thread blocker([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        blockerTid = gettid();
        done.get_future().wait();
    });
    while (blockerTid.load() == 0)
        std::this_thread::yield();
    std::atomic<int> percentage{10};
    ThreadThrottle throttle(percentage);
    throttle.registerThread(static_cast<unsigned long>(blockerTid.load()));
    BusyWorker throttled;
    throttle.registerThread(static_cast<unsigned long>(throttled.tid()));
    throttle.start();
    const double share = cpuShareOver(throttled.tid(), 1000ms);
    throttle.stop();
    done.set_value();
    blocker.join();
    EXPECT_LT(share, 0.35);
    EXPECT_TRUE(throttled.advancesWithin(kEventLimit));
}

TEST(ThreadThrottle, NoneAndFullShareNeverSuspend) {
    for (const int share : {0, 100}) {
        std::atomic<int> percentage{share};
        ThreadThrottle throttle(percentage);
        BusyWorker registered;
        throttle.registerThread(static_cast<unsigned long>(registered.tid()));
        const auto stopsBefore = compat::suspensionCount();
        throttle.start();
        // Four cycles without a stop: the sleep is the span checked.
        std::this_thread::sleep_for(400ms);
        EXPECT_TRUE(registered.advancesWithin(kEventLimit)) << share;
        throttle.stop();
        EXPECT_EQ(compat::suspensionCount(), stopsBefore) << share;
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
    // Three cycles and more without a stop: the sleep is the span checked.
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
    // Three cycles and more without a stop: the sleep is the span checked.
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
    // Three cycles and more without a stop: the sleep is the span checked.
    std::this_thread::sleep_for(350ms);
    throttle.stop();
    EXPECT_EQ(compat::suspensionCount(), stopsBefore);
}

TEST(ThreadThrottle, StartingTwiceMakesOneThreadAndStopEndsIt) {
    std::atomic<int> percentage{0};
    ThreadThrottle throttle(percentage);
    const auto threadsBefore = threadIdsOfThisProcess().size();
    EXPECT_FALSE(throttle.running());
    throttle.start();
    throttle.start();
    EXPECT_TRUE(throttle.running());
    EXPECT_EQ(threadIdsOfThisProcess().size(), threadsBefore + 1);
    throttle.stop();
    EXPECT_FALSE(throttle.running());
    EXPECT_EQ(threadIdsOfThisProcess().size(), threadsBefore);
    throttle.start();
    EXPECT_TRUE(throttle.running());
    EXPECT_EQ(threadIdsOfThisProcess().size(), threadsBefore + 1);
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
    EXPECT_EQ(threadIdsOfThisProcess().size(), threadsBefore + 1);
}

TEST(ThreadThrottle, StopReturnsPromptlyWhetherIdleOrNotRunning) {
    std::atomic<int> percentage{0};
    ThreadThrottle throttle(percentage);
    auto began = Clock::now();
    throttle.stop();
    EXPECT_LT(Clock::now() - began, 100ms);

    // The idle check sleeps for a second; stop does not wait for it.
    const auto others = threadIdsOfThisProcess();
    throttle.start();
    const auto started = ovix::testing::threadsStartedSince(others);
    ASSERT_EQ(started.size(), 1u);
    ASSERT_TRUE(ovix::testing::blockedInSystemCall(started[0], SYS_futex));
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
            EXPECT_TRUE(first.advancesWithin(kEventLimit)) << running.count();
            EXPECT_TRUE(second.advancesWithin(kEventLimit)) << running.count();
            throttle.start();
            std::this_thread::sleep_for(running);
        }
        EXPECT_TRUE(first.advancesWithin(kEventLimit)) << running.count();
        EXPECT_TRUE(second.advancesWithin(kEventLimit)) << running.count();
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
    std::this_thread::sleep_for(150ms);  // outlasts the cycle under way, which takes 100 ms
    const auto stopsAfter = compat::suspensionCount();
    // Five cycles without a stop: the sleep is the span checked.
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(compat::suspensionCount(), stopsAfter);
    EXPECT_TRUE(worker.advancesWithin(kEventLimit));
    throttle.stop();
}

TEST(ThreadThrottle, ARegisteredThreadThatEndedIsDroppedAndTheOthersStillHeld) {
    std::atomic<int> percentage{50};
    ThreadThrottle throttle(percentage);
    auto ended = std::make_unique<BusyWorker>();
    const auto endedTid = static_cast<unsigned long>(ended->tid());
    BusyWorker living;
    throttle.registerThread(endedTid);
    throttle.registerThread(static_cast<unsigned long>(living.tid()));
    ended.reset();
    ovix::testing::awaitThreadGone(static_cast<pid_t>(endedTid));
    const auto stopsBefore = compat::suspensionCount();
    throttle.start();
    EXPECT_TRUE(suspendedSince(stopsBefore));
    throttle.stop();
    EXPECT_TRUE(living.advancesWithin(kEventLimit));
    // Its id is no registered thread any more.
    EXPECT_EQ(failureOf([&] { throttle.registerThread(endedTid); }), "OpenThread failed");
}

// The kernel gives the id of a registered thread that ended to another
// thread: that one is never stopped, and the id registers anew for it. The
// test runs in a pid namespace of its own, where it hands the id on at once.
// A living worker registered beside the ended one shows the throttle's passes
// over its table: it is stopped in each.
TEST(ThreadThrottle, AThreadThatGetsTheIdOfAnEndedRegisteredThreadIsLeftAlone) {
    const auto failure = ovix::testing::inOwnPidNamespace([]() -> std::string {
        std::atomic<int> percentage{50};
        ThreadThrottle throttle(percentage);
        auto ended = std::make_unique<BusyWorker>();
        const pid_t tid = ended->tid();
        const auto endedStart = ended->startTick();
        throttle.registerThread(static_cast<unsigned long>(tid));
        ended.reset();
        ovix::testing::awaitThreadGone(tid);
        const auto stranger = ovix::testing::busyWorkerOnId(tid, endedStart);
        if (!stranger)
            return "no thread got id " + std::to_string(tid);
        BusyWorker witness;
        throttle.registerThread(static_cast<unsigned long>(witness.tid()));
        const auto strangerBlocks = timesBlocked(tid);
        const auto witnessBlocks = timesBlocked(witness.tid());
        throttle.start();
        if (!ovix::testing::eventually([&] { return timesBlocked(witness.tid()) >= witnessBlocks + 3; }, kEventLimit))
            return "the throttle stopped no registered thread";
        if (timesBlocked(tid) != strangerBlocks)
            return "the thread on the ended thread's id was stopped";
        throttle.registerThread(static_cast<unsigned long>(tid));
        if (!ovix::testing::eventually([&] { return timesBlocked(tid) != strangerBlocks; }, kEventLimit))
            return "registered anew, it was never stopped";
        throttle.stop();
        return stranger->advancesWithin(kEventLimit) && witness.advancesWithin(kEventLimit) ? ""
                                                                                           : "a thread was left stopped";
    });
    if (!failure)
        GTEST_SKIP() << "no user and pid namespaces of the test's own here";
    EXPECT_EQ(*failure, "");
}

// Every thread of the process registered, the throttle's own and the one
// that stops it included: it runs its passes and stops. A hang ends the
// child process that runs it.
TEST(ThreadThrottle, RegisteringEveryThreadItsOwnIncludedDoesNotHangIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(30);
            std::atomic<int> percentage{50};
            ThreadThrottle throttle(percentage);
            BusyWorker worker;
            throttle.start();
            for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
                throttle.registerThread(std::stoul(task.path().filename().string()));
            const auto stopsBefore = compat::suspensionCount();
            while (compat::suspensionCount() < stopsBefore + 4)
                std::this_thread::sleep_for(5ms);
            throttle.stop();
            std::exit(worker.advancesWithin(5s) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace ovix
