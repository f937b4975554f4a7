#include "compat/system/ThreadSuspension.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <thread>

#include "compat/system/tests/BusyWorker.h"
#include "testing/BlockedThread.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;
using ovix::testing::BusyWorker;

TEST(ThreadSuspension, SuspensionsNestAndTheThreadRunsAfterTheLastResume) {
    BusyWorker worker;
    const auto thread = compat::SuspendableThread::open(worker.tid());
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->id(), worker.tid());
    const auto stopsBefore = compat::suspensionCount();

    EXPECT_EQ(thread->suspend(), 0);
    ASSERT_TRUE(ovix::testing::eventually([&] { return thread->stopped(); }));
    const auto stoppedAt = worker.progress();
    // Each time it stays stopped over a span of 50 ms: the sleeps are the spans.
    EXPECT_EQ(thread->suspend(), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(worker.progress(), stoppedAt);

    EXPECT_EQ(thread->resume(), 2);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(worker.progress(), stoppedAt);

    EXPECT_EQ(thread->resume(), 1);
    EXPECT_TRUE(worker.advancesWithin(5s));
    EXPECT_FALSE(thread->stopped());
    // A running thread has nothing to take away.
    EXPECT_EQ(thread->resume(), 0);
    EXPECT_EQ(compat::suspensionCount(), stopsBefore + 1);
}

TEST(ThreadSuspension, TwoHandlesShareOneCount) {
    BusyWorker worker;
    const auto first = compat::SuspendableThread::open(worker.tid());
    const auto second = compat::SuspendableThread::open(worker.tid());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->suspend(), 0);
    EXPECT_EQ(second->suspend(), 1);
    EXPECT_EQ(first->resume(), 2);
    EXPECT_EQ(second->resume(), 1);
    EXPECT_TRUE(worker.advancesWithin(5s));
}

TEST(ThreadSuspension, OpenRefusesIdsThatAreNoThreadOfThisProcess) {
    errno = 0;
    EXPECT_FALSE(compat::SuspendableThread::open(0));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(compat::SuspendableThread::open(-7));
    EXPECT_EQ(errno, EINVAL);
    // Another process's main thread: the parent of this test.
    EXPECT_FALSE(compat::SuspendableThread::open(getppid()));
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(compat::SuspendableThread::open(ovix::testing::endedThreadId()));
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(compat::SuspendableThread::open(gettid()));
}

TEST(ThreadSuspension, AThreadThatEndedIsSkipped) {
    auto worker = std::make_unique<BusyWorker>();
    const auto thread = compat::SuspendableThread::open(worker->tid());
    ASSERT_TRUE(thread);
    worker.reset();
    const auto stopsBefore = compat::suspensionCount();
    EXPECT_FALSE(thread->alive());
    EXPECT_EQ(thread->suspend(), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(thread->resume(), -1);
    EXPECT_EQ(compat::suspensionCount(), stopsBefore);
}

TEST(ThreadSuspension, ABlockingCallResumesWithItsDataAfterTheThreadIsResumed) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    std::atomic<pid_t> readerTid{0};
    std::atomic<bool> returned{false};
    std::string received;
    std::thread reader([&] {
        readerTid = gettid();
        char buffer[16] = {};
        const ssize_t length = read(pipeEnds[0], buffer, sizeof buffer);
        if (length > 0)
            received.assign(buffer, static_cast<size_t>(length));
        returned = true;
    });
    while (readerTid.load() == 0)
        std::this_thread::yield();
    ASSERT_TRUE(ovix::testing::blockedInSystemCall(readerTid, SYS_read));

    const auto thread = compat::SuspendableThread::open(readerTid);
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->suspend(), 0);
    ASSERT_TRUE(ovix::testing::eventually([&] { return thread->stopped(); }));
    ASSERT_EQ(write(pipeEnds[1], "data", 4), 4);
    // Stopped, it does not return over a span of 50 ms: the sleep is the span.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned);
    EXPECT_EQ(thread->resume(), 1);
    reader.join();
    EXPECT_EQ(received, "data");
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
