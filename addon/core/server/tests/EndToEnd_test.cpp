// The poller at its own period against the real launcher, run in the
// launcher's sandbox with the stand-in application, and a loopback server in
// place of the application's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "addon/core/server/ServerState.h"
#include "addon/core/server/tests/ListenerWindow.h"
#include "compat/ipc/NamedMutex.h"
#include "testing/LoopbackHttpServer.h"
#include "testing/launcher/LauncherSandbox.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::ListenerWindow;

class AddonEndToEnd : public ovix::testing::LauncherSandbox {
protected:
    // The launcher's copy has a name of its own, so that the launchers that
    // other tests run at the same time are not taken for it.
    AddonEndToEnd() { m_launcher = m_scratch / "app" / m_launcherName; }

    const std::string m_launcherName = "MorvaneLaunch-" + std::to_string(getpid()) + ".exe";
    ovix::testing::LoopbackHttpServer m_server;
};

// Not started, then starting while the server answers 503, started once it
// answers 200, and not started within a second of the launcher's exit.
TEST_F(AddonEndToEnd, StatesFollowTheLauncherAndItsServer) {
    m_server.setReply("/sidebar", {.status = 503});
    ListenerWindow listener;
    ServerState state({.sidebarUrl = m_server.url("/sidebar"), .checkOn = true, .launcherProgram = m_launcherName});
    state.AddListener(listener.handle());
    ASSERT_TRUE(listener.waitFor(1));

    auto launcher = start();
    ASSERT_TRUE(ovix::testing::eventually([] { return compat::NamedMutex::isHeld(kLauncherMutex); }));
    ASSERT_TRUE(ovix::testing::eventually([&] { return listener.states().back() == SERVER_STATE_STARTING; }, 20s));
    m_server.setReply("/sidebar", {.status = 200});
    ASSERT_TRUE(ovix::testing::eventually([&] { return listener.states().back() == SERVER_STATE_STARTED; }, 20s));

    EXPECT_EQ(run("/quit"), 0);
    ASSERT_TRUE(launcher.wait(20s));
    const auto ended = ListenerWindow::Clock::now();
    ASSERT_TRUE(ovix::testing::eventually([&] { return listener.states().back() == SERVER_STATE_NOTSTARTED; }));
    EXPECT_LT(listener.arrivals().back().time - ended, 1s);

    auto states = listener.states();
    states.erase(std::unique(states.begin(), states.end()), states.end());
    EXPECT_EQ(states, (std::vector<int>{SERVER_STATE_NOTSTARTED, SERVER_STATE_STARTING, SERVER_STATE_STARTED,
                                        SERVER_STATE_NOTSTARTED}));
}

}  // namespace

}  // namespace ovix
