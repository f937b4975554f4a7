// Which process is the main application, and whose messages count.

#include "launcher/ApplicationProcess.h"

#include <gtest/gtest.h>

#include "compat/ipc/MessageQueue.h"

namespace ovix {

namespace {

std::optional<compat::Process> sleeper() {
    return compat::Process::start(
        compat::ProcessStart{.program = "/bin/sleep", .arguments = {"30"}, .environment = {}});
}

void end(compat::Process& process) {
    process.terminate();
    process.wait();
}

TEST(ApplicationProcess, OnlyTheRunnersChildIsTheApplicationUntilItIsForgotten) {
    AppIds ids;
    ApplicationProcess application(ids);
    EXPECT_FALSE(application.isSender(compat::currentProcessId()));
    ids.processId = 77;
    ids.pendingProcessLow = 5;
    auto child = application.startChild(sleeper);
    ASSERT_TRUE(child);
    const auto pid = static_cast<std::uint32_t>(child->pid());
    // Its main thread is the application thread; its process id is unknown
    // until it reports it.
    EXPECT_EQ(ids.threadId, pid);
    EXPECT_EQ(ids.processId, 0u);
    EXPECT_EQ(ids.pendingProcessLow, 0u);
    EXPECT_TRUE(application.isSender(pid));
    EXPECT_FALSE(application.isSender(compat::currentProcessId()));
    EXPECT_EQ(application.handle(), child);

    EXPECT_FALSE(application.endedAfterReporting());
    application.forgetChild();
    EXPECT_FALSE(application.endedAfterReporting());  // it never reported

    ids.processId = pid;
    application.forgetChild();
    EXPECT_EQ(ids.processId, 0u);
    EXPECT_TRUE(application.endedAfterReporting());
    EXPECT_FALSE(application.handle());
    EXPECT_FALSE(application.isSender(pid));
    end(*child);

    EXPECT_FALSE(application.startChild([] { return std::optional<compat::Process>(); }));
}

TEST(ApplicationProcess, InComModeTheProcessThatRunsTheNamedThreadIsTakenAtItsFirstMessage) {
    AppIds ids;
    ApplicationProcess application(ids);
    auto server = sleeper();
    ASSERT_TRUE(server);
    const auto pid = static_cast<std::uint32_t>(server->pid());
    application.expectOwnerOf(pid);
    EXPECT_FALSE(application.isSender(compat::currentProcessId()));
    EXPECT_FALSE(application.handle());
    EXPECT_TRUE(application.isSender(pid));
    ASSERT_TRUE(application.handle());
    EXPECT_EQ(application.handle()->pid(), server->pid());
    // Taken once: the thread's owner is judged no more.
    EXPECT_FALSE(application.isSender(compat::currentProcessId()));
    end(*server);
}

}  // namespace

}  // namespace ovix
