#include "compat/system/Process.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>

#include "compat/system/ExclusiveAppendFile.h"
#include "compat/system/ProcessGroup.h"
#include "testing/BlockedThread.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;
using ovix::testing::readFile;

TEST(Process, RunsWithExactlyTheGivenEnvironmentAndFolder) {
    ovix::testing::ScratchFolder folder;
    const auto out = folder / "out";
    auto process = compat::Process::start(
        compat::ProcessStart{"/bin/sh",
                             {"-c", "echo \"$ParentThreadId|${HOME-unset}|$(pwd)\" > " + out.string() + "; exit 7"},
                             {"ParentThreadId=1234"},
                             folder.path()});
    ASSERT_TRUE(process);
    EXPECT_GT(process->pid(), 0);
    ASSERT_TRUE(process->wait(10s));
    EXPECT_EQ(process->exitCode(), 7);
    EXPECT_EQ(readFile(out), "1234|unset|" + folder.path().string() + "\n");
}

TEST(Process, WaitTimesOutAndTerminateEndsIt) {
    auto process =
        compat::Process::start(compat::ProcessStart{"sleep", {"30"}, compat::currentEnvironment(), {}, true});
    ASSERT_TRUE(process);
    EXPECT_FALSE(process->wait(50ms));
    EXPECT_FALSE(process->exitCode());
    auto watcher = compat::Process::open(process->pid());
    ASSERT_TRUE(watcher);
    EXPECT_TRUE(process->terminate());
    ASSERT_TRUE(process->wait(10s));
    EXPECT_EQ(process->exitCode(), 128 + 9);
    // One that only watches sees the end but knows no exit code.
    EXPECT_TRUE(watcher->wait(10s));
    EXPECT_FALSE(watcher->exitCode());
}

TEST(Process, StartFailuresAreReported) {
    errno = 0;
    EXPECT_FALSE(compat::Process::start(compat::ProcessStart{.program = "/nonexistent/program"}));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(
        compat::Process::start(compat::ProcessStart{.program = "/bin/true", .workingFolder = "/nonexistent/folder"}));
    EXPECT_FALSE(compat::Process::open(0));
    EXPECT_FALSE(compat::Process::open(-5));
}

TEST(Process, AGroupEndsWholeOrByItsMarkAndABoundProcessEndsWithItsStartingThread) {
    ovix::testing::ScratchFolder folder;
    // A leader with two members in its group, one without the leader's mark.
    auto leader = compat::Process::start(compat::ProcessStart{
        .program = "/bin/sh",
        .arguments = {"-c", "sleep 60 & echo $! > pids; env -i /bin/sleep 60 & echo $! >> pids; exec sleep 60"},
        .environment = {"MARK=1", "PATH=/usr/bin:/bin"},
        .workingFolder = folder.path(),
        .ownGroup = true});
    ASSERT_TRUE(leader);
    int marked = 0, unmarked = 0;
    ASSERT_TRUE(ovix::testing::eventually(
        [&] { return std::sscanf(readFile(folder / "pids").c_str(), "%d %d", &marked, &unmarked) == 2; }));
    // Until "env -i" has run the unmarked one, it still carries the mark.
    ASSERT_TRUE(ovix::testing::eventually([&] {
        return readFile("/proc/" + std::to_string(unmarked) + "/cmdline") == std::string(
                                                                                 "/bin/sleep\0"
                                                                                 "60\0",
                                                                                 14);
    }));
    auto ended = [](pid_t pid) {
        auto process = compat::Process::open(pid);
        return !process || compat::waitForAny({&*process}, 10s).has_value();
    };
    EXPECT_EQ(compat::endMarkedGroupMembers(leader->pid(), "MARK=2"), 0u);
    EXPECT_EQ(compat::endMarkedGroupMembers(getpgrp(), "MARK=1"), 0u);
    EXPECT_EQ(compat::endMarkedGroupMembers(leader->pid(), "MARK=1"), 2u);
    EXPECT_TRUE(ended(marked));
    ASSERT_TRUE(compat::waitForAny({&*leader}, 10s));
    auto left = compat::Process::open(unmarked);
    ASSERT_TRUE(left);
    EXPECT_FALSE(compat::waitForAny({&*left}, 0ms));
    // Ended as a group: what is left ends with its leader.
    EXPECT_TRUE(leader->endGroup());
    EXPECT_TRUE(ended(unmarked));
    EXPECT_TRUE(leader->wait(0ms));
    EXPECT_FALSE(leader->endGroup());

    std::optional<compat::Process> bound;
    std::thread([&] {
        bound = compat::Process::start(
            compat::ProcessStart{.program = "/bin/sleep", .arguments = {"60"}, .endsWithStartingThread = true});
    }).join();
    ASSERT_TRUE(bound);
    ASSERT_TRUE(bound->wait(10s));
    EXPECT_EQ(bound->exitCode(), 128 + SIGKILL);
}

TEST(Process, PrivateMemoryIsTheTouchedAnonymousMemoryWhileItRuns) {
    auto large = compat::Process::start(compat::ProcessStart{
        "/usr/bin/python3",
        {"-c", "import sys, time\nb = bytearray(80_000_000)\nprint('ready', flush=True)\ntime.sleep(30)"},
        compat::currentEnvironment()});
    auto small = compat::Process::start(compat::ProcessStart{"/bin/sleep", {"30"}, {}});
    ASSERT_TRUE(large && small);
    EXPECT_TRUE(ovix::testing::eventually([&] { return large->privateMemoryBytes().value_or(0) > 80'000'000; }));
    const auto smallBytes = small->privateMemoryBytes();
    ASSERT_TRUE(smallBytes);
    EXPECT_GT(*smallBytes, 0u);
    EXPECT_LT(*smallBytes, 10'000'000u);
    EXPECT_TRUE(compat::processRunsThread(small->pid(), static_cast<std::uint32_t>(small->pid())));
    EXPECT_FALSE(compat::processRunsThread(getpid(), static_cast<std::uint32_t>(small->pid())));
    for (auto* process : {&*large, &*small}) {
        process->terminate();
        // Once it has ended there is no figure, reaped or not.
        ASSERT_TRUE(compat::waitForAny({process}, 10s));
        EXPECT_FALSE(process->privateMemoryBytes());
        process->wait();
        EXPECT_FALSE(process->privateMemoryBytes());
    }
}

TEST(Waitable, WaitForAnyGivesTheFirstSignalledOrNothingOnTimeOut) {
    compat::WaitableEvent event;
    auto sleeper = compat::Process::start(compat::ProcessStart{"/bin/sleep", {"30"}, {}});
    ASSERT_TRUE(sleeper);
    EXPECT_EQ(compat::waitForAny({&*sleeper, &event}, 20ms), std::nullopt);
    // Set once the wait below has begun.
    const pid_t waiter = gettid();
    std::thread setter([&] {
        EXPECT_TRUE(ovix::testing::blockedInSystemCall(waiter, SYS_poll));
        event.set();
    });
    EXPECT_EQ(compat::waitForAny({&*sleeper, &event}), 1u);
    setter.join();
    EXPECT_TRUE(event.isSet());
    // It stays set.
    EXPECT_EQ(compat::waitForAny({&event}, 0ms), 0u);
    sleeper->terminate();
    EXPECT_EQ(compat::waitForAny({&*sleeper}, 10s), 0u);
    // A process that another thread waits for is still collected by wait().
    EXPECT_TRUE(sleeper->wait(0ms));
    EXPECT_EQ(sleeper->exitCode(), 128 + 9);
}

TEST(ExclusiveAppendFile, ShutsOutOtherWritersAndAppends) {
    ovix::testing::ScratchFolder folder;
    const auto path = folder / "log";
    {
        std::ofstream(path) << "before\n";
        auto first = compat::ExclusiveAppendFile::open(path);
        ASSERT_TRUE(first);
        errno = 0;
        EXPECT_FALSE(compat::ExclusiveAppendFile::open(path));
        EXPECT_EQ(errno, EWOULDBLOCK);
        EXPECT_TRUE(first->append("one\n"));
        // Readers are not shut out.
        EXPECT_EQ(readFile(path), "before\none\n");
    }
    auto second = compat::ExclusiveAppendFile::open(path);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->append("two\n"));
    EXPECT_EQ(readFile(path), "before\none\ntwo\n");
    EXPECT_FALSE(compat::ExclusiveAppendFile::open(folder / "missing" / "log"));
}

}  // namespace
