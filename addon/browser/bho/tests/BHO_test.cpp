// The helper object in a browser window, loaded from the registry store:
// the commands that it obeys and cancels, and those that it leaves alone,
// and the small icon that it saves for the popups.

#include <gtest/gtest.h>

#include <algorithm>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "addon/tests/AddonBrowserTest.h"

namespace ovix {

namespace {

using compat::ScriptedBrowser;
using Outcome = ScriptedBrowser::Outcome;

class BHOTest : public ovix::testing::AddonBrowserTest<> {
protected:
    struct Seen {
        std::vector<std::string> browserCalls;  // made on the window's browser meanwhile
        Outcome outcome;
    };

    // The frame shows `page`, whose script then goes to `command`.
    static Seen commandFrom(compat::BrowserWindow& window, const std::string& page, const std::string& command) {
        auto& browser = window.browser();
        EXPECT_TRUE(window.navigate(page) && window.settle());
        const std::size_t before = browser.calls().size();
        EXPECT_TRUE(browser.pageNavigates(command));
        const auto calls = browser.calls();
        return {std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end()),
                browser.navigations().back().outcome};
    }

    static std::string showBarCall(const compat::Guid& bar, bool show) {
        return "ShowBrowserBar(\"" + bar.toString() + "\", " + (show ? "true" : "false") + ", I4 0)";
    }

    static bool contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(BHOTest, ObeysAndCancelsTheCommandsOfPagesUnderTheHomepage) {
    install(configText({{"HomepageUrl", "http://localhost:10101"}}));
    auto& window = openWindow();
    const std::string home = "http://localhost:10101/x";
    struct Case {
        std::string page;
        std::string command;
        std::vector<std::string> calls;
        bool cancelled;
    };
    const Case cases[] = {
        {home, "morvane:sidebar=1", {showBarCall(kBarBandClassId, true)}, true},
        {home, "morvane:x?sidebar=1&sidebar=0", {showBarCall(kBarBandClassId, true)}, true},
        {home,
         "morvane:sidebar=0&toolbar=1",
         {showBarCall(kBarBandClassId, false), showBarCall(kWToolBarClassId, true)},
         true},
        {home, "morvane:foo", {}, true},
        // No command: the scheme is written otherwise.
        {home, "MORVANE:sidebar=1", {}, false},
        // Pages that are not under the homepage.
        {"http://LOCALHOST:10101/x", "morvane:sidebar=1", {}, false},
        {"http://localhost:10101.evil.example/", "morvane:sidebar=1", {}, false},
        {"http://user@localhost:10101/x", "morvane:sidebar=1", {}, false},
        {"http://localhost:10102/x", "morvane:close", {}, false},
    };
    for (const auto& c : cases) {
        const auto seen = commandFrom(window, c.page, c.command);
        EXPECT_EQ(seen.browserCalls, c.calls) << c.page << " " << c.command;
        EXPECT_EQ(seen.outcome == Outcome::Cancelled, c.cancelled) << c.page << " " << c.command;
    }
    EXPECT_TRUE(window.isOpen());
}

// Close and hide the sidebar: the bar is hidden at once, then the window
// closes and takes its add-ons down, leaving no sink and no use of the
// module behind.
TEST_F(BHOTest, CloseCommandClosesTheWindowAfterTheRestIsDone) {
    install(configText({{"HomepageUrl", "http://localhost:10101/app"}}));
    ASSERT_EQ(module().canUnloadNow(), compat::S_OK);
    auto& window = openWindow();
    const auto seen = commandFrom(window, "http://localhost:10101/app/page", "morvane:sidebar=1");
    ASSERT_EQ(seen.browserCalls, std::vector<std::string>{showBarCall(kBarBandClassId, true)});
    const auto sidebar = bandBrowser(window, kBarBandClassId);
    ASSERT_TRUE(sidebar);
    EXPECT_GT(sidebar->sinkCount(), 0u);

    ASSERT_TRUE(window.browser().pageNavigates("morvane:close&sidebar=0"));
    EXPECT_EQ(window.browser().navigations().back().outcome, Outcome::Cancelled);
    ASSERT_TRUE(window.waitUntilClosed());
    const auto calls = window.calls();
    const std::string bar = kBarBandClassId.toString();
    const auto hidden = std::find(calls.begin(), calls.end(), "ShowDW " + bar + " false");
    EXPECT_LT(hidden, std::find(calls.begin(), calls.end(), "CloseDW " + bar));
    EXPECT_TRUE(contains(calls, "SetSite " + kBhoClassId.toString() + " null"));
    EXPECT_EQ(window.browser().sinkCount(), 0u);
    EXPECT_EQ(sidebar->sinkCount(), 0u);
    EXPECT_TRUE(ovix::testing::eventually([&] { return module().canUnloadNow() == compat::S_OK; }));
}

// The popup of a page's ":new(" shows the small icon of the first window of
// the process, not that of the window whose page opened it; a page that is
// not admitted opens none.
TEST_F(BHOTest, NewCommandOpensAPopupWithTheFirstWindowsIcon) {
    install(configText({{"HomepageUrl", "http://localhost:10101"}}));
    const auto& first = openWindow();
    auto& second = openWindow();
    ASSERT_NE(first.smallIcon(), second.smallIcon());
    const auto refused = commandFrom(second, "http://localhost:10101.evil.example/",
                                     "morvane:new(Refused,http://127.0.0.1:1/x, 300,200)");
    EXPECT_NE(refused.outcome, Outcome::Cancelled);
    const auto obeyed =
        commandFrom(second, "http://localhost:10101/x", "morvane:new(Morvane,http://127.0.0.1:1/x, 300,200)");
    EXPECT_EQ(obeyed.outcome, Outcome::Cancelled);

    const auto popup = ovix::testing::shownPopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, "Morvane");
    EXPECT_EQ(popup->screenRect.width(), 300);
    EXPECT_EQ(popup->screenRect.height(), 200);
    EXPECT_EQ(popup->smallIcon, first.smallIcon());
    EXPECT_TRUE(ovix::testing::closePopups());
}

TEST_F(BHOTest, EmptyHomepageAdmitsNoPage) {
    install(configText({{"SidebarUrl", "http://localhost:10101/sidebar"}}));
    auto& window = openWindow();
    for (const char* page : {"http://localhost:10101/x", "file:///", "about:blank"}) {
        const auto seen = commandFrom(window, page, "morvane:close&sidebar=1");
        EXPECT_EQ(seen.browserCalls, std::vector<std::string>{}) << page;
        EXPECT_NE(seen.outcome, Outcome::Cancelled) << page;
    }
    EXPECT_TRUE(window.isOpen());
}

}  // namespace

}  // namespace ovix
