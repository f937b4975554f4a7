// The poller with a short period against a loopback server, a launcher mutex
// that the test holds, and a stand-in launcher process: what each listener
// receives, round by round.

#include "addon/core/server/ServerState.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "addon/core/server/tests/ListenerWindow.h"
#include "compat/com/ModuleUsage.h"
#include "compat/ipc/NamedMutex.h"
#include "testing/BlockedThread.h"
#include "testing/LoopbackHttpServer.h"
#include "testing/RuntimeFolderTest.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::eventually;
using ovix::testing::ListenerWindow;
using ovix::testing::LoopbackHttpServer;
using Reply = LoopbackHttpServer::Reply;

class ServerStateTest : public ovix::testing::RuntimeFolderTest {
protected:
    // The stand-in launcher: a program of its own name, so that launchers
    // that other tests run at the same time are not taken for it.
    const std::string m_launcherName = "Launcher-" + std::to_string(getpid()) + ".exe";

    static constexpr auto kPeriod = 100ms;

    std::unique_ptr<ServerState> poller(bool checkOn = true, std::chrono::milliseconds probeLimit = 300ms) {
        return std::make_unique<ServerState>(ServerState::Options{.sidebarUrl = m_server.url("/sidebar"),
                                                                  .checkOn = checkOn,
                                                                  .period = kPeriod,
                                                                  .probeLimit = probeLimit,
                                                                  .launcherProgram = m_launcherName});
    }

    compat::Process startLauncher() {
        const auto program = m_runtime / m_launcherName;
        std::filesystem::copy_file("/bin/sleep", program, std::filesystem::copy_options::overwrite_existing);
        auto process = compat::Process::start({.program = program.string(), .arguments = {"60"}});
        EXPECT_TRUE(process);
        return std::move(*process);
    }

    std::size_t probes() const { return m_server.requests().size(); }

    // How many descriptors of this process are process descriptors (pidfds)
    // of process `pid`.
    static std::size_t processDescriptorsOf(pid_t pid) {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fdinfo")) {
            std::ifstream info(entry.path());
            for (std::string line; std::getline(info, line);)
                count += line == "Pid:\t" + std::to_string(pid);
        }
        return count;
    }

    LoopbackHttpServer m_server;
};

TEST_F(ServerStateTest, WithoutTheLauncherMutexZeroEachRound) {
    ListenerWindow listener;
    auto state = poller();
    state->AddListener(listener.handle());
    ASSERT_TRUE(listener.waitFor(3));
    const auto states = listener.states();
    EXPECT_EQ(states, std::vector<int>(states.size(), SERVER_STATE_NOTSTARTED));
    EXPECT_EQ(probes(), 0u);
}

// The mutex held and no 200 (an error status or a server that never
// answers): 1 each round.
TEST_F(ServerStateTest, WithTheMutexButNo200OneEachRound) {
    compat::NamedMutex mutex(kLauncherMutex);
    for (const Reply& reply : {Reply{.status = 404}, Reply{.status = 500}, Reply{.kind = Reply::Kind::Hang}}) {
        m_server.setReply("/sidebar", reply);
        ListenerWindow listener;
        auto state = poller();
        state->AddListener(listener.handle());
        ASSERT_TRUE(listener.waitFor(2)) << reply.status;
        state.reset();
        const auto states = listener.states();
        EXPECT_EQ(states, std::vector<int>(states.size(), SERVER_STATE_STARTING)) << reply.status;
    }
}

// A 200 without a launcher process: 2 once, however many rounds follow, and
// never 0; a change of state is posted, and a 2 after it again.
TEST_F(ServerStateTest, A200WithoutLauncherIsPostedOnce) {
    compat::NamedMutex mutex(kLauncherMutex);
    m_server.setReply("/sidebar", {.status = 200});
    ListenerWindow listener;
    auto state = poller();
    state->AddListener(listener.handle());
    ASSERT_TRUE(listener.waitFor(1));
    ASSERT_TRUE(eventually([&] { return probes() >= 5; }));
    EXPECT_EQ(listener.states(), std::vector<int>{SERVER_STATE_STARTED});

    m_server.setReply("/sidebar", {.status = 404});
    ASSERT_TRUE(listener.waitFor(2));
    m_server.setReply("/sidebar", {.status = 200});
    ASSERT_TRUE(eventually([&] { return listener.states().back() == SERVER_STATE_STARTED; }));
    const auto seen = listener.states();
    ASSERT_TRUE(eventually([&, before = probes()] { return probes() >= before + 3; }));
    EXPECT_EQ(listener.states(), seen);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), SERVER_STATE_NOTSTARTED), 0);
}

// A 200 with the launcher running: 2, then silence while the poller waits
// for the launcher's end, 0 when it ends (the mutex still held: no round
// posts 0), and rounds again.
TEST_F(ServerStateTest, A200WithTheLauncherWaitsForItsEnd) {
    compat::NamedMutex mutex(kLauncherMutex);
    m_server.setReply("/sidebar", {.status = 200, .body = std::string(3 << 20, 'p')});
    auto launcher = startLauncher();
    ListenerWindow listener;
    const auto threadsBefore = ovix::testing::threadIdsOfThisProcess();
    // Each probe reads the whole body, which takes long on a busy machine.
    auto state = poller(true, 10s);
    state->AddListener(listener.handle());
    ASSERT_TRUE(listener.waitFor(1));
    // The poller waits for the launcher's end once it holds the launcher open
    // beside the test's own handle and a thread that it started sits in poll.
    ASSERT_TRUE(eventually([&] {
        const auto started = ovix::testing::threadsStartedSince(threadsBefore);
        return processDescriptorsOf(launcher.pid()) == 2 &&
               std::ranges::any_of(started, [](pid_t tid) { return ovix::testing::inSystemCall(tid, SYS_poll); });
    }, 30s));
    // Silence is checked over a span of five periods: the sleep is that span.
    std::this_thread::sleep_for(5 * kPeriod);
    EXPECT_EQ(listener.states(), std::vector<int>{SERVER_STATE_STARTED});
    EXPECT_EQ(probes(), 1u);

    launcher.terminate();
    ASSERT_TRUE(listener.waitFor(3));
    EXPECT_EQ(listener.states(), (std::vector<int>{SERVER_STATE_STARTED, SERVER_STATE_NOTSTARTED, SERVER_STATE_STARTED}));
}

// Stopping the poller ends its wait for the launcher.
TEST_F(ServerStateTest, DestroyedWhileWaitingForTheLauncher) {
    compat::NamedMutex mutex(kLauncherMutex);
    m_server.setReply("/sidebar", {.status = 200});
    auto launcher = startLauncher();
    ListenerWindow listener;
    auto state = poller();
    state->AddListener(listener.handle());
    ASSERT_TRUE(listener.waitFor(1));
    state.reset();
    launcher.terminate();
    EXPECT_EQ(listener.states(), std::vector<int>{SERVER_STATE_STARTED});
}

// With the check off, one 2 right after the start, to the listeners there
// are then, and the thread ends.
TEST_F(ServerStateTest, CheckOffPostsOneStarted) {
    ListenerWindow first, later;
    auto state = poller(false);
    state->AddListener(first.handle());
    ASSERT_TRUE(first.waitFor(1));
    // The thread counts as a use of the module until it ends.
    ASSERT_TRUE(eventually([] { return compat::moduleCanUnload(); }));
    state->AddListener(later.handle());
    // Posted now, a state comes after every one that the thread posted.
    state->Broadcast(SERVER_STATE_NOTSTARTED);
    ASSERT_TRUE(first.waitFor(2));
    ASSERT_TRUE(later.waitFor(1));
    EXPECT_EQ(first.states(), (std::vector<int>{SERVER_STATE_STARTED, SERVER_STATE_NOTSTARTED}));
    EXPECT_EQ(later.states(), std::vector<int>{SERVER_STATE_NOTSTARTED});
    EXPECT_EQ(probes(), 0u);
}

// A window listed twice gets each state twice; a closed one is dropped at
// the next registration.
TEST_F(ServerStateTest, ListenersTwiceAndPruned) {
    ListenerWindow twice, closed, other;
    auto state = poller();
    state->AddListener(twice.handle());
    state->AddListener(twice.handle());
    state->AddListener(closed.handle());
    ASSERT_TRUE(twice.waitFor(4));
    const auto states = twice.states();
    EXPECT_EQ(states[0], states[1]);
    EXPECT_EQ(states[2], states[3]);

    closed.close();
    ASSERT_TRUE(eventually([&] { return !compat::IsWindow(closed.handle()); }));
    EXPECT_EQ(state->Listeners().size(), 3u);
    state->AddListener(other.handle());
    EXPECT_EQ(state->Listeners(),
              (std::vector<compat::WindowHandle>{twice.handle(), twice.handle(), other.handle()}));
}

}  // namespace

}  // namespace ovix
