// The sidebar in a browser window, loaded from the registry store, against a
// loopback server in place of the main application's and a launcher mutex
// that the test holds: the pages it shows, its guard, its commands, its calls
// of the page's script, and its poller once the window is gone.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "addon/core/server/LauncherControl.h"
#include "addon/core/server/ServerState.h"
#include "addon/tests/AddonBrowserTest.h"
#include "compat/browser/Keyboard.h"
#include "compat/browser/LoadedPage.h"
#include "compat/browser/Window.h"
#include "compat/ipc/NamedMutex.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using compat::ComPtr;
using compat::ScriptedBrowser;
using ovix::testing::closePopups;
using ovix::testing::eventually;
using ovix::testing::shownPopups;
using Outcome = ScriptedBrowser::Outcome;

class SidebarTest : public ovix::testing::AddonBrowserTest<> {
protected:
    void installWith(const std::string& homePath, const std::string& sidebarPath, bool checkOn) {
        install(configText({{"HomepageUrl", server.url(homePath)},
                            {"SidebarUrl", server.url(sidebarPath)},
                            {"SidebarCheckOn", checkOn ? "on" : "off"}}));
    }

    // Opens a window and shows its sidebar; the sidebar's browser control.
    ScriptedBrowser& openSidebar() {
        m_window = &openWindow();
        EXPECT_EQ(showBar(*m_window, kBarBandClassId, true), compat::S_OK);
        m_sidebar = bandBrowser(*m_window, kBarBandClassId);
        if (!m_sidebar)
            throw std::runtime_error("no sidebar");
        return *m_sidebar.get();
    }

    // What the sidebar's browser was asked to navigate to.
    static std::vector<std::string> navigateCalls(const ScriptedBrowser& sidebar) {
        std::vector<std::string> calls;
        for (const auto& call : sidebar.calls()) {
            if (call.starts_with("Navigate2("))
                calls.push_back(call);
        }
        return calls;
    }

    // The sidebar's listener windows, on the window's thread.
    std::vector<compat::WindowHandle> listeners() const {
        std::vector<compat::WindowHandle> found;
        for (const auto window : compat::topLevelWindows()) {
            if (compat::GetClassName(window) == "ServerStateListenerWnd")
                found.push_back(window);
        }
        return found;
    }

    std::string notStartedPage() const { return staticPageUrl("morvane_notstarted.html"); }
    std::string startingPage() const { return staticPageUrl("morvane_starting.html"); }

    compat::BrowserWindow* m_window = nullptr;
    ComPtr<ScriptedBrowser> m_sidebar;
};

// With the check on, the guard sends every page that it does not serve to
// the page of the state it finds: the real not-started file without a
// launcher, the starting page while the server answers 404, SidebarUrl as
// configured once it answers 200. Addresses that merely contain a command,
// the homepage or a state page's name are guarded too.
TEST_F(SidebarTest, GuardGoesToThePageOfTheLiveState) {
    installWith("/app", "/app/Side/Bar", true);
    auto& sidebar = openSidebar();
    ASSERT_TRUE(showsEventually(sidebar, notStartedPage()));
    EXPECT_EQ(sidebar.title(), "Morvane");
    const std::string outside[] = {
        "http://outside.example/",
        "http://outside.example/?morvane:startServer",
        "http://outside.example/?" + server.url("/app"),
        "http://outside.example/static/morvane_notstarted.html",
        "http://outside.example/" + notStartedPage(),
    };
    for (const auto& url : outside)
        EXPECT_EQ(pageGoesTo(sidebar, url), Outcome::Cancelled) << url;
    EXPECT_TRUE(showsEventually(sidebar, notStartedPage()));

    compat::NamedMutex launcher(kLauncherMutex);
    ASSERT_EQ(launcher.state(), compat::NamedMutex::State::Owned);
    EXPECT_EQ(pageGoesTo(sidebar, "http://outside.example/"), Outcome::Cancelled);
    EXPECT_TRUE(showsEventually(sidebar, startingPage()));

    server.setReply("/app/Side/Bar", {.status = 200});
    EXPECT_EQ(pageGoesTo(sidebar, "http://outside.example/"), Outcome::Cancelled);
    EXPECT_TRUE(showsEventually(sidebar, server.url("/app/Side/Bar")));
    const auto calls = navigateCalls(sidebar);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Navigate2(" + server.url("/app/Side/Bar") + ")"), calls.end());
    // The pages under the homepage pass whatever the state.
    EXPECT_NE(pageGoesTo(sidebar, server.url("/app/other")), Outcome::Cancelled);
}

// A SidebarUrl outside HomepageUrl is the guard's own choice, so the
// navigation to it goes on.
TEST_F(SidebarTest, GuardLetsASidebarOutsideTheHomepageShow) {
    installWith("/app", "/Side/Bar", true);
    compat::NamedMutex launcher(kLauncherMutex);
    server.setReply("/Side/Bar", {.status = 200});
    auto& sidebar = openSidebar();
    EXPECT_EQ(pageGoesTo(sidebar, "http://outside.example/"), Outcome::Cancelled);
    EXPECT_TRUE(showsEventually(sidebar, server.url("/Side/Bar")));
    EXPECT_NE(pageGoesTo(sidebar, server.url("/Side/Bar")), Outcome::Cancelled);
}

// With the check off and the poller done, the posts are the test's: a state
// whose page is shown already (but for case and one trailing "/") changes
// nothing, nor does a state outside 0 to 2; the others go to their pages as
// they are written.
TEST_F(SidebarTest, PostedStatesGoToTheirPagesUnlessShown) {
    installWith("/", "/Side/Bar/", false);
    ASSERT_TRUE(retirePoller());
    auto& sidebar = openSidebar();
    ASSERT_TRUE(showsEventually(sidebar, server.url("/Side/Bar/")));
    const auto listening = listeners();
    ASSERT_EQ(listening.size(), 1u);
    const auto post = [&](std::uintptr_t state) {
        const std::size_t before = navigateCalls(sidebar).size();
        EXPECT_TRUE(compat::PostMessage(listening[0], WM_SERVERSTATE, state, 0));
        EXPECT_TRUE(sidebar.settle());
        const auto calls = navigateCalls(sidebar);
        return std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end());
    };
    const std::vector<std::string> none;
    EXPECT_EQ(post(SERVER_STATE_STARTED), none);
    EXPECT_NE(pageGoesTo(sidebar, server.url("/side/bar")), Outcome::Cancelled);
    EXPECT_EQ(post(SERVER_STATE_STARTED), none);
    for (const std::uintptr_t state : {std::uintptr_t{3}, std::uintptr_t{1} << 32, ~std::uintptr_t{0}})
        EXPECT_EQ(post(state), none) << state;
    EXPECT_EQ(post(SERVER_STATE_NOTSTARTED), std::vector<std::string>{"Navigate2(" + notStartedPage() + ")"});
    EXPECT_EQ(post(SERVER_STATE_NOTSTARTED), none);
    EXPECT_EQ(post(SERVER_STATE_STARTING), std::vector<std::string>{"Navigate2(" + startingPage() + ")"});
    EXPECT_EQ(post(SERVER_STATE_STARTED), std::vector<std::string>{"Navigate2(" + server.url("/Side/Bar/") + ")"});
}

// A fake launcher that records each start.
fs::path fakeLauncher(const fs::path& folder) {
    fs::create_directories(folder);
    const auto program = folder / std::string(kLauncherProgram);
    std::ofstream(program) << "#!/bin/sh\necho \"$@\" >> '" << (folder / "starts").string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    return folder / "starts";
}

std::size_t lineCount(const fs::path& file) {
    const std::string text = ovix::testing::readFile(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Commands are cancelled, and carried out only for the pages that the band
// serves (under the homepage, and its state pages), which alone reach the
// frame's browser as their external object. With the check off and the
// poller done, the test alone moves the sidebar.
TEST_F(SidebarTest, ServedPagesStartTheLauncherOpenPopupsAndReachTheFrame) {
    installWith("/app", "/Side/Bar", false);
    ASSERT_TRUE(retirePoller());
    const auto starts = fakeLauncher(addonFolder() / "launcher");
    setInstallDirectory(starts.parent_path());
    auto& sidebar = openSidebar();
    const auto frame = static_cast<compat::WebBrowser2*>(&m_window->browser());
    const auto started = [&](std::size_t count) {
        return eventually([&] { return lineCount(starts) >= count; }) && lineCount(starts) == count;
    };

    // SidebarUrl lies outside the homepage: it is shown, but not served.
    ASSERT_TRUE(showsEventually(sidebar, server.url("/Side/Bar")));
    EXPECT_FALSE(sidebar.pageExternal());
    for (const char* command : {"morvane:startServer", "morvane:new(Outside,http://127.0.0.1:1/x, 300,200)"})
        EXPECT_EQ(pageGoesTo(sidebar, command), Outcome::Cancelled) << command;

    EXPECT_NE(pageGoesTo(sidebar, notStartedPage()), Outcome::Cancelled);
    ASSERT_TRUE(showsEventually(sidebar, notStartedPage()));
    EXPECT_EQ(sidebar.pageExternal().get(), frame);
    for (const char* command : {"morvane:startServer/", "morvane:close", "morvane:startServer"})
        EXPECT_EQ(pageGoesTo(sidebar, command), Outcome::Cancelled) << command;
    EXPECT_TRUE(started(1));
    EXPECT_EQ(ovix::testing::readFile(starts), "http://localhost:10101\n");
    EXPECT_TRUE(m_window->isOpen());

    // SidebarUrl lies outside the homepage: it is shown, but not served.
    EXPECT_NE(pageGoesTo(sidebar, server.url("/Side/Bar")), Outcome::Cancelled);
    ASSERT_TRUE(showsEventually(sidebar, server.url("/Side/Bar")));
    EXPECT_FALSE(sidebar.pageExternal());
    EXPECT_EQ(pageGoesTo(sidebar, "morvane:startServer"), Outcome::Cancelled);
    EXPECT_EQ(pageGoesTo(sidebar, "morvane:new(Refused,http://127.0.0.1:1/x, 300,200)"), Outcome::Cancelled);

    EXPECT_NE(pageGoesTo(sidebar, server.url("/app/page")), Outcome::Cancelled);
    ASSERT_TRUE(showsEventually(sidebar, server.url("/app/page")));
    EXPECT_EQ(sidebar.pageExternal().get(), frame);
    for (const char* command : {"morvane:startServer", "morvane:new(Served,http://127.0.0.1:1/x, 300,200)"})
        EXPECT_EQ(pageGoesTo(sidebar, command), Outcome::Cancelled) << command;
    EXPECT_TRUE(started(2));
    // The popup the served page asked for, and none other.
    std::vector<std::string> titles;
    EXPECT_TRUE(eventually([&] {
        titles.clear();
        for (const auto& popup : shownPopups())
            titles.push_back(popup.text);
        return std::find(titles.begin(), titles.end(), "Served") != titles.end();
    }));
    EXPECT_EQ(titles, std::vector<std::string>{"Served"});
    EXPECT_TRUE(closePopups());
}

// The band asks for its fixed layout, takes the focus into its control and
// hands it keys. A site without a window gets no band; one without the
// browser's service gets a band whose pages do not reach the frame.
TEST_F(SidebarTest, LayoutFocusAndSitesWithoutTheirLinks) {
    using namespace compat;
    installWith("/", "/sidebar", false);
    auto& sidebar = openSidebar();
    const auto xy = [](Point point) { return std::pair(point.x, point.y); };
    const auto info = m_window->bandInfo(kBarBandClassId);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->mask, DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS);
    EXPECT_EQ(xy(info->minSize), std::pair(155, 100));
    EXPECT_EQ(xy(info->maxSize), std::pair(155, -1));
    EXPECT_EQ(xy(info->integral), std::pair(0, 1));
    EXPECT_EQ(xy(info->actual), std::pair(155, 0));
    EXPECT_EQ(info->title, "Morvane");
    EXPECT_EQ(info->modeFlags, DBIMF_VARIABLEHEIGHT);

    const auto band = m_window->addon(kBarBandClassId);
    DeskBandInfo titleOnly;
    titleOnly.mask = DBIM_TITLE | DBIM_BKCOLOR;
    HRESULT noInfo = S_OK;
    std::vector<HRESULT> focus;
    std::vector<HRESULT> keys;
    m_window->run([&] {
        const auto desk = band.as<DeskBand>();
        EXPECT_EQ(desk->GetBandInfo(1, DBIF_VIEWMODE_VERTICAL, &titleOnly), S_OK);
        noInfo = desk->GetBandInfo(1, DBIF_VIEWMODE_VERTICAL, nullptr);
        const auto input = band.as<InputObject>();
        focus = {input->HasFocusIO(), input->UIActivateIO(true, nullptr), input->HasFocusIO()};
        for (const std::uintptr_t key : {std::uintptr_t{VK_TAB}, std::uintptr_t{'A'}}) {
            MessageRecord down;
            down.message = WM_KEYDOWN;
            down.wParam = key;
            keys.push_back(input->TranslateAcceleratorIO(down));
        }
    });
    EXPECT_EQ(titleOnly.mask, DBIM_TITLE);
    EXPECT_EQ(titleOnly.title, "Morvane");
    EXPECT_EQ(xy(titleOnly.minSize), std::pair(0, 0));
    EXPECT_EQ(noInfo, E_INVALIDARG);
    EXPECT_EQ(focus, (std::vector<HRESULT>{S_FALSE, S_OK, S_OK}));
    EXPECT_TRUE(sidebar.inPlaceActive());
    const auto calls = m_window->calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "OnFocusChangeIS true"), calls.end());
    EXPECT_EQ(keys, (std::vector<HRESULT>{S_OK, S_FALSE}));

    auto& noWindow = openWindow({.links = {.window = false}});
    EXPECT_EQ(showBar(noWindow, kBarBandClassId, true), E_FAIL);
    EXPECT_TRUE(childWindows(noWindow.barArea()).empty());
    auto& noService = openWindow({.links = {.serviceProvider = false}});
    ASSERT_EQ(showBar(noService, kBarBandClassId, true), S_OK);
    const auto hosted = bandBrowser(noService, kBarBandClassId);
    ASSERT_TRUE(hosted && showsEventually(*hosted.get(), server.url("/sidebar")));
    EXPECT_FALSE(hosted->pageExternal());
}

// ShowDW tells a loaded page that defines both onShow and onHide.
TEST_F(SidebarTest, ShownAndHiddenPagesHearOfItWhenTheyDefineBothFunctions) {
    installWith("/", "/both", false);
    ASSERT_TRUE(retirePoller());
    compat::declarePage(server.url("/both"), "Both", {"onShow", "onHide"});
    compat::declarePage(server.url("/one"), "One", {"onShow"});
    auto& sidebar = openSidebar();
    ASSERT_TRUE(showsEventually(sidebar, server.url("/both")));
    // Shown before its page was there: nothing was called.
    EXPECT_TRUE(sidebar.scriptCalls().empty());

    const auto scriptCallsOf = [&](bool show) {
        const std::size_t before = sidebar.scriptCalls().size();
        EXPECT_EQ(showBar(*m_window, kBarBandClassId, show), compat::S_OK);
        std::vector<std::string> lines;
        const auto calls = sidebar.scriptCalls();
        for (auto call = calls.begin() + static_cast<std::ptrdiff_t>(before); call != calls.end(); ++call) {
            std::string line = call->name;
            for (const auto& argument : call->arguments)
                line += " " + std::get<std::string>(argument);
            lines.push_back(line);
        }
        return lines;
    };
    EXPECT_EQ(scriptCallsOf(false), (std::vector<std::string>{"GetIDsOfNames onShow", "GetIDsOfNames onHide",
                                                              "execScript onHide() javascript"}));
    EXPECT_EQ(scriptCallsOf(true), (std::vector<std::string>{"GetIDsOfNames onShow", "GetIDsOfNames onHide",
                                                             "execScript onShow() javascript"}));
    EXPECT_NE(pageGoesTo(sidebar, server.url("/one")), Outcome::Cancelled);
    ASSERT_TRUE(showsEventually(sidebar, server.url("/one")));
    EXPECT_EQ(scriptCallsOf(false), (std::vector<std::string>{"GetIDsOfNames onShow", "GetIDsOfNames onHide"}));
}

// Closing the window takes the band off its control (sinks, client site,
// listener). The poller started by the first sidebar holds the module: it
// stays mapped after the window is gone and the host has unloaded it, and
// goes on polling, its posts to the band's destroyed listener dropped.
TEST_F(SidebarTest, PollerOutlivesTheBandAndTheHostsUnload) {
    installWith("/", "/sidebar", true);
    compat::NamedMutex launcher(kLauncherMutex);
    auto& sidebar = openSidebar();
    ASSERT_TRUE(showsEventually(sidebar, startingPage()));
    EXPECT_EQ(listeners().size(), 1u);
    EXPECT_EQ(module().canUnloadNow(), compat::S_FALSE);

    ASSERT_TRUE(m_window->close());
    EXPECT_TRUE(listeners().empty());
    EXPECT_EQ(sidebar.sinkCount(), 0u);
    EXPECT_EQ(sidebar.calls().back(), "SetClientSite(null)");
    EXPECT_EQ(module().canUnloadNow(), compat::S_FALSE);
    unloadModule();
    const std::string module = (addonFolder() / "Vantile.dll").string();
    EXPECT_NE(ovix::testing::readFile("/proc/self/maps").find(module), std::string::npos);
    const std::size_t probes = server.requests().size();
    EXPECT_TRUE(eventually([&] { return server.requests().size() >= probes + 2; }, 30s));
}

}  // namespace

}  // namespace ovix
