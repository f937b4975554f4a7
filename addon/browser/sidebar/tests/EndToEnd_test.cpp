// The sidebar with the real launcher, in the launcher's sandbox with the
// stand-in application, and a loopback server in place of the application's.

#include <gtest/gtest.h>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "addon/core/server/LauncherControl.h"
#include "addon/tests/AddonBrowserTest.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/ipc/NamedMutex.h"
#include "testing/launcher/LauncherSandbox.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using Outcome = compat::ScriptedBrowser::Outcome;

class SidebarEndToEnd : public ovix::testing::AddonBrowserTest<ovix::testing::LauncherSandbox> {
protected:
    // A launcher that the add-on started and a failed test left running.
    void TearDown() override {
        if (compat::NamedMutex::isHeld(kLauncherMutex))
            run("/quit");
        AddonBrowserTest::TearDown();
    }
};

// The toolbar's open button shows the sidebar on the not-started page, from
// which the sidebar starts the launcher, which opens its address; the sidebar
// follows its server to SidebarUrl, and back to the not-started page once the
// launcher has quit. The homepage that the button opened opens a popup.
TEST_F(SidebarEndToEnd, SidebarStartsTheLauncherAndFollowsItsServer) {
    install(configText(
        {{"HomepageUrl", server.url("/")}, {"SidebarUrl", server.url("/sidebar")}, {"SidebarCheckOn", "on"}}));
    setInstallDirectory(m_launcher.parent_path());
    standIn("status=0");
    auto& window = openWindow();
    ASSERT_TRUE(compat::clickToolbarButton(bandWindow(window, kWToolBarClassId), 6003));
    const auto hosted = bandBrowser(window, kBarBandClassId);
    ASSERT_TRUE(hosted);
    auto& sidebar = *hosted.get();
    const std::string notStarted = staticPageUrl("morvane_notstarted.html");
    ASSERT_TRUE(showsEventually(sidebar, notStarted));

    EXPECT_EQ(pageGoesTo(sidebar, "morvane:startServer"), Outcome::Cancelled);
    EXPECT_TRUE(ovix::testing::eventually(
        [&] { return ovix::testing::readFile(opened()) == "http://localhost:10101\n"; }, 30s));
    EXPECT_TRUE(showsEventually(sidebar, staticPageUrl("morvane_starting.html")));
    server.setReply("/sidebar", {.status = 200});
    EXPECT_TRUE(showsEventually(sidebar, server.url("/sidebar")));

    EXPECT_EQ(run("/quit"), 0);
    EXPECT_TRUE(ovix::testing::eventually([] { return !compat::NamedMutex::isHeld(kLauncherMutex); }));
    EXPECT_TRUE(ovix::testing::eventually([&] { return sidebar.settle() && sidebar.location() == notStarted; }, 60s));

    auto& frame = window.browser();
    ASSERT_TRUE(showsEventually(frame, server.url("/")));
    EXPECT_EQ(pageGoesTo(frame, "morvane:new(Morvane,http://127.0.0.1:1/x, 300,200)"), Outcome::Cancelled);
    const auto popup = ovix::testing::shownPopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, "Morvane");
    EXPECT_EQ(popup->screenRect.width(), 300);
    EXPECT_EQ(popup->screenRect.height(), 200);
    EXPECT_TRUE(ovix::testing::closePopups());
}

}  // namespace

}  // namespace ovix
