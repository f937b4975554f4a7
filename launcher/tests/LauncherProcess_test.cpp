// The launcher program against itself: first and second instances as real
// processes in a sandbox, each first instance with a stand-in application
// that never reports.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include "compat/ipc/NamedMutex.h"
#include "compat/system/AutostartEntry.h"
#include "compat/system/Process.h"
#include "launcher/Autostart.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/MorvaneLaunch.h"
#include "testing/ScratchFolder.h"
#include "testing/launcher/LauncherSandbox.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using compat::RegistryHive;
using compat::RegistryKey;
using ovix::testing::eventually;
using ovix::testing::readFile;

using LauncherProcess = ovix::testing::LauncherSandbox;

TEST_F(LauncherProcess, ASecondLauncherFindsTheFirstOpensItsUrlOnceReadyAndQuitsIt) {
    // Left by a launcher that crashed.
    ASSERT_TRUE(RegistryKey::create(RegistryHive::CurrentUser, kLauncherKeyPath)->setDword(kReadyValue, 1));
    const auto inheritedByAll = ovix::testing::inheritableDescriptors();
    auto first = start();
    ASSERT_TRUE(publishes(first));
    EXPECT_FALSE(value(kReadyValue));
    EXPECT_TRUE(compat::NamedMutex::isHeld(kSingleInstanceMutex));

    EXPECT_EQ(run("http://localhost:10101/sites"), 0);
    EXPECT_FALSE(fs::exists(opened()));

    // What the first instance writes at a status report.
    ASSERT_TRUE(openLauncherKey()->setDword(kReadyValue, 1));
    EXPECT_EQ(run("http://localhost:10101/sites"), 0);
    EXPECT_EQ(readFile(opened()), "http://localhost:10101/sites\n");

    // The opener got no descriptor of the launcher (queue, lock, log).
    int seen = 0;
    for (const auto& stray : ovix::testing::strayDescriptors(readFile(m_scratch / "opener.fds"), inheritedByAll, seen))
        ADD_FAILURE() << "descriptor " << stray << " leaked into the opener";
    EXPECT_GE(seen, 4);

    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(first.wait(5s));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(value(kThreadIdValue));
    EXPECT_FALSE(value(kReadyValue));
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
}

TEST_F(LauncherProcess, QuitGivesUpOnAFirstInstanceThatDoesNotAnswer) {
    periods("quit-retry=50");
    auto first = start();
    ASSERT_TRUE(publishes(first));
    ASSERT_EQ(kill(first.pid(), SIGSTOP), 0);
    const auto began = std::chrono::steady_clock::now();
    const int code = run("/quit");
    const auto took = std::chrono::steady_clock::now() - began;
    kill(first.pid(), SIGCONT);
    EXPECT_EQ(code, 1);
    // Ten Exit commands, 50 ms apart.
    EXPECT_GE(took, 450ms);
    EXPECT_LE(took, 15s);
    // Once it runs again it takes the Exit commands that waited for it.
    ASSERT_TRUE(first.wait(10s));
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(LauncherProcess, TheMutexIsFreeAgainAfterTheHolderIsKilled) {
    auto first = start();
    ASSERT_TRUE(publishes(first));
    // Killed once its application runs: a child in the middle of its start
    // would hold the launcher's descriptors for a moment longer.
    ASSERT_TRUE(eventually([&] { return fs::exists(record()); }));
    ASSERT_TRUE(first.terminate());
    ASSERT_TRUE(first.wait(10s));
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
    // Its stale "ThreadId" does not pass for a running instance.
    EXPECT_EQ(value(kThreadIdValue), static_cast<std::uint32_t>(first.pid()));
    EXPECT_EQ(run("/quit"), 0);

    auto next = start();
    ASSERT_TRUE(publishes(next));
    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(next.wait(5s));
}

TEST_F(LauncherProcess, QuitWithNoInstanceLeavesNoValue) {
    EXPECT_EQ(run("/quit"), 0);
    EXPECT_FALSE(openLauncherKey());
}

TEST_F(LauncherProcess, AnOverlongStartUrlIsLoggedAndDropped) {
    auto first = start("http://localhost:10101/" + std::string(3000, 'x'));
    ASSERT_TRUE(publishes(first));
    EXPECT_EQ(readFile(log()), std::string("start URL of 3023 bytes refused: the limit is 2047 bytes\n") + kNoBusLine);
    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(first.wait(5s));
}

TEST_F(LauncherProcess, RegistrationSwitchesWriteTheRunValueAndTheAutostartEntry) {
    EXPECT_EQ(run("/RegServer"), 1);
    auto machine = RegistryKey::open(RegistryHive::LocalMachine, kRunKeyPath);
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->query(kAutostartValue)->data, m_launcher.string() + '\0');
    EXPECT_EQ(readFile(compat::autostartEntryPath(kAutostartEntry)),
              compat::autostartEntryText(kAutostartEntry, m_launcher));
    EXPECT_EQ(run("/UnregServer"), 1);
    EXPECT_FALSE(machine->query(kAutostartValue));
    EXPECT_FALSE(fs::exists(compat::autostartEntryPath(kAutostartEntry)));
}

}  // namespace

}  // namespace ovix
