// The toolbar as a browser window gets it from the installed module: placed
// in the toolbar area, its menu's check mark set by the sidebar, its Tag It
// dialog closed by its own page, and gone with the window.

#include <gtest/gtest.h>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "addon/browser/toolbar/TagIt.h"
#include "addon/tests/AddonBrowserTest.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/LoadedPage.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/Window.h"
#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/Menu.h"

namespace ovix {

namespace {

using namespace compat;
using ovix::testing::eventually;
using ovix::testing::popupWindows;

constexpr const char* kHome = "http://localhost:10101";

class ToolbarBrowserTest : public ovix::testing::AddonBrowserTest<> {
protected:
    void SetUp() override {
        AddonBrowserTest::SetUp();
        install(configText({{"HomepageUrl", kHome}}));
    }
};

TEST_F(ToolbarBrowserTest, TheWindowPlacesTheToolbarAndTakesItDown) {
    BrowserWindow& window = openWindow();
    const std::string id = kWToolBarClassId.toString();
    const auto calls = window.calls();
    for (const auto& call : {"SetSite " + id, "GetBandInfo " + id, "ShowDW " + id + " true"})
        EXPECT_NE(std::find(calls.begin(), calls.end(), call), calls.end()) << call;
    const WindowHandle toolbar = bandWindow(window, kWToolBarClassId);
    ASSERT_TRUE(IsChild(window.toolbarArea(), toolbar));
    EXPECT_EQ(toolbarState(toolbar)->buttons.size(), 2u);
    EXPECT_EQ(window.bandInfo(kWToolBarClassId)->actual.x, 300);

    ASSERT_TRUE(window.close());
    EXPECT_FALSE(IsWindow(toolbar));
    EXPECT_TRUE(childWindows(window.toolbarArea()).empty());
    EXPECT_EQ(module().canUnloadNow(), S_OK);
}

// The sidebar that the window shows and hides sets the flag behind the
// check mark of "Morvane Sidebar".
TEST_F(ToolbarBrowserTest, CheckMarkFollowsTheSidebarTheWindowShows) {
    BrowserWindow& window = openWindow();
    const WindowHandle toolbar = bandWindow(window, kWToolBarClassId);
    for (bool shown : {true, false, true}) {
        ASSERT_EQ(showBar(window, kBarBandClassId, shown), S_OK);
        clearDesktopEvents();
        chooseMenuItem(0);
        ASSERT_TRUE(clickToolbarArrow(toolbar, 6003));
        const auto events = desktopEvents();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events[0], std::string("menu-check item=32784 ") + (shown ? "checked" : "unchecked")) << shown;
    }
}

// The Tag It dialog opens in a popup for the page shown, and its page
// closes it with "morvane:close".
TEST_F(ToolbarBrowserTest, TagItDialogClosesAtItsPagesCommand) {
    declarePage("http://page.example/", "Page");
    BrowserWindow& window = openWindow();
    ASSERT_TRUE(window.navigate("http://page.example/") && window.settle());
    ASSERT_TRUE(clickToolbarButton(bandWindow(window, kWToolBarClassId), 6004));

    const std::string dialog = kHome + TagItPath(0, "Page", "http://page.example/");
    ComPtr<ScriptedBrowser> popupBrowser;
    ASSERT_TRUE(eventually([&] {
        const auto popups = popupWindows();
        const auto children = popups.size() == 1 ? childWindows(popups[0]) : std::vector<WindowHandle>{};
        popupBrowser = children.size() == 1 ? hostedBrowser(children[0]) : ComPtr<ScriptedBrowser>();
        return popupBrowser && popupBrowser->location() == dialog;
    }));
    EXPECT_EQ(GetWindowText(popupWindows().at(0)), "Morvane");

    ASSERT_TRUE(popupBrowser->pageNavigates("morvane:close"));
    EXPECT_TRUE(eventually([] { return popupWindows().empty(); }));
    ASSERT_TRUE(window.close());
    EXPECT_TRUE(eventually([&] { return module().canUnloadNow() == S_OK; }));
}

}  // namespace

}  // namespace ovix
