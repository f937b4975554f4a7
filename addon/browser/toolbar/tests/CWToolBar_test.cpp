// The toolbar band on a band site of a browser window, with an application
// object of the test's own: its windows, buttons and metrics, its menu and
// commands, the sidebar switch and its check mark, Tag It, the interests
// box, and what it leaves behind when taken off its site.

#include "addon/browser/toolbar/CWToolBar.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "addon/browser/toolbar/TagIt.h"
#include "addon/core/coding/CURLEncode.h"
#include "addon/tests/AddonBrowserTest.h"
#include "compat/browser/ActiveWindow.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/BandSite.h"
#include "compat/browser/BrowserWindow.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/LoadedPage.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/Window.h"
#include "compat/com/ModuleUsage.h"
#include "compat/desktop/DesktopJournal.h"
#include "compat/system/ModulePath.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using namespace compat;
using ovix::testing::closePopups;
using ovix::testing::eventually;
using ovix::testing::popupWindows;

constexpr const char* kHome = "http://localhost:10101";

// A popup as the user sees it once it shows its page.
struct Popup {
    std::string title;
    Rect rect;
    std::string url;
};

// The one popup open, once it shows a page other than its first blank one.
std::optional<Popup> onePopup() {
    Popup popup;
    const bool shown = eventually([&] {
        const auto windows = popupWindows();
        const auto state = windows.size() == 1 ? windowState(windows[0]) : std::nullopt;
        const auto children = state ? childWindows(windows[0]) : std::vector<WindowHandle>{};
        const auto browser = children.size() == 1 ? hostedBrowser(children[0]) : ComPtr<ScriptedBrowser>();
        if (!browser || browser->location().empty() || browser->location() == "about:blank")
            return false;
        popup = {state->text, state->screenRect, browser->location()};
        return true;
    });
    if (!shown)
        return std::nullopt;
    return popup;
}

// A text whose every byte is percent-encoded.
std::string percentEncoded(std::string_view text) {
    std::string encoded;
    for (unsigned char c : text)
        encoded += "%" + CURLEncode::ToHex(c);
    return encoded;
}

std::pair<int, int> xy(Point point) {
    return {point.x, point.y};
}

// How many references `object` has.
template <class Object>
std::uint32_t references(Object* object) {
    object->AddRef();
    return object->Release();
}

// A counted object that only counts.
class Counted final : public ComObject<OleCommandTarget> {};

// The band of the test's own application object: the fixture's folders and
// server, without the installed module.
class ToolbarBandTest : public ovix::testing::AddonBrowserTest<> {
protected:
    void SetUp() override {
        AddonBrowserTest::SetUp();
        clearDesktopEvents();
        m_app.config.HomepageUrl = kHome;
        m_app.config.InterestsListUrl = server.url("/interests");
    }
    void TearDown() override {
        EXPECT_TRUE(closePopups());
        AddonBrowserTest::TearDown();
    }

    // A new band placed on a new band site in the window's toolbar area, as
    // the window places its own toolbars; what SetSite answered in `result`.
    ComPtr<CWToolBar> place(BrowserWindow& window, HRESULT& result, BandSiteLinks links = {}) {
        ComPtr<CWToolBar> band;
        window.run([&] {
            band = ComPtr<CWToolBar>::adopt(new CWToolBar(m_app));
            const auto site = ComPtr<BandSite>::adopt(
                new BandSite(window.toolbarArea(), ComPtr<WebBrowser2>::share(&window.browser()), links, m_siteLog));
            result = band->SetSite(static_cast<OleWindow*>(site.get()));
        });
        return band;
    }
    ComPtr<CWToolBar> place(BrowserWindow& window) {
        HRESULT result = E_FAIL;
        auto band = place(window, result);
        EXPECT_EQ(result, S_OK);
        return band;
    }
    static WindowHandle toolbarOf(BrowserWindow& window, const ComPtr<CWToolBar>& band) {
        WindowHandle toolbar = 0;
        window.run([&] { EXPECT_EQ(band->GetWindow(toolbar), S_OK); });
        return toolbar;
    }
    static WindowHandle boxOf(WindowHandle toolbar) {
        const auto children = childWindows(toolbar);
        return children.size() == 1 ? children[0] : 0;
    }
    // Sends the toolbar a command, as its menu does, and waits for it.
    static void command(BrowserWindow& window, WindowHandle toolbar, unsigned id) {
        window.run([&] { SendMessage(toolbar, WM_COMMAND, id, 0); });
        window.settle();
    }
    // The browser's calls since the last look.
    std::vector<std::string> newCalls(BrowserWindow& window) {
        const auto calls = window.browser().calls();
        std::vector<std::string> added(calls.begin() + static_cast<std::ptrdiff_t>(m_callsSeen), calls.end());
        m_callsSeen = calls.size();
        return added;
    }

    const std::string m_sidebarId = kBarBandClassId.toString();
    CVantileApp m_app;
    std::shared_ptr<CallLog> m_siteLog = std::make_shared<CallLog>();
    std::size_t m_callsSeen = 0;
};

TEST_F(ToolbarBandTest, SitedItHasExactlyItsWindowsButtonsAndMetrics) {
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle toolbar = toolbarOf(window, band);
    const auto state = windowState(toolbar);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->className, TOOLBARCLASSNAME);
    EXPECT_EQ(state->id, 34278);
    EXPECT_EQ(state->style, 0x54019B6Du);
    // In a hidden host window that fills the site's window.
    const auto host = windowState(state->parent);
    Rect area;
    GetClientRect(window.toolbarArea(), area);
    EXPECT_EQ(host->parent, window.toolbarArea());
    EXPECT_EQ(host->style, WS_CHILD);
    EXPECT_EQ(host->id, 0);
    EXPECT_EQ(host->screenRect, area);
    EXPECT_EQ(state->screenRect, area);

    const auto bar = toolbarState(toolbar);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->buttonStructSize, sizeof(ToolbarButton));
    const std::uintptr_t instance = moduleInstance(reinterpret_cast<const void*>(&TagItPath));
    EXPECT_EQ(bar->bitmaps, (std::vector<ToolbarAddBitmap>{{instance, 5031}, {instance, 5032}}));
    ASSERT_EQ(bar->buttons.size(), 2u);
    const auto& open = bar->buttons[0];
    EXPECT_EQ(open.button.bitmap, 0);
    EXPECT_EQ(open.button.command, 6003);
    EXPECT_EQ(open.button.state, TBSTATE_ENABLED);
    EXPECT_EQ(open.button.style, BTNS_DROPDOWN | BTNS_AUTOSIZE);
    EXPECT_EQ(open.width, 43);
    const auto& tagIt = bar->buttons[1];
    EXPECT_EQ(tagIt.button.bitmap, 1);
    EXPECT_EQ(tagIt.button.command, 6004);
    EXPECT_EQ(tagIt.button.state, TBSTATE_ENABLED);
    EXPECT_EQ(tagIt.button.style, BTNS_AUTOSIZE);
    EXPECT_EQ(tagIt.width, 64);
    EXPECT_EQ(xy(bar->bitmapSize), std::pair(57, 17));
    EXPECT_EQ(xy(bar->buttonSize), std::pair(57, 17));
    EXPECT_EQ(bar->extendedStyle, TBSTYLE_EX_DRAWDDARROWS);
    EXPECT_EQ(bar->metrics, (ToolbarMetrics{.mask = TBMF_PAD | TBMF_BARPAD | TBMF_BUTTONSPACING,
                                            .xPad = 7,
                                            .yPad = 6,
                                            .xBarPad = 0,
                                            .yBarPad = 0,
                                            .xButtonSpacing = 3,
                                            .yButtonSpacing = 0}));
    EXPECT_EQ(toolbarTooltip(toolbar, 6003), "Open Morvane application");
    EXPECT_EQ(toolbarTooltip(toolbar, 6004), "Tag It");

    // The interests box, right of the buttons.
    const auto box = windowState(boxOf(toolbar));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->className, WC_COMBOBOX);
    EXPECT_EQ(box->id, 7003);
    EXPECT_GE(box->screenRect.left, 43 + 3 + 64);

    DeskBandInfo info;
    info.mask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;
    HRESULT infoResult = E_FAIL, nullResult = S_OK;
    window.run([&] {
        infoResult = band->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
        nullResult = band->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, nullptr);
    });
    EXPECT_EQ(infoResult, S_OK);
    EXPECT_EQ(nullResult, E_INVALIDARG);
    EXPECT_EQ(info.mask, DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS);
    EXPECT_EQ(xy(info.minSize), std::pair(200, 24));
    EXPECT_EQ(xy(info.maxSize), std::pair(-1, 24));
    EXPECT_EQ(xy(info.integral), std::pair(1, 1));
    EXPECT_EQ(xy(info.actual), std::pair(300, 24));
    EXPECT_EQ(info.modeFlags, 0x108u);
    EXPECT_EQ(info.title, "");

    // Shown, hidden, and hidden but kept when closed; the focus.
    HRESULT focus[2] = {};
    window.run([&] {
        EXPECT_EQ(band->ShowDW(true), S_OK);
        focus[0] = band->HasFocusIO();
        SetFocus(boxOf(toolbar));
        focus[1] = band->HasFocusIO();
    });
    EXPECT_TRUE(windowState(toolbar)->visible);
    EXPECT_EQ(focus[0], S_FALSE);
    EXPECT_EQ(focus[1], S_OK);
    window.run([&] { EXPECT_EQ(band->CloseDW(0), S_OK); });
    EXPECT_TRUE(IsWindow(toolbar));
    EXPECT_FALSE(windowState(toolbar)->visible);

    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// Every command id opens its page in the current tab, or its dialog in a
// popup; ids beside the table do nothing.
TEST_F(ToolbarBandTest, EachCommandOpensItsPage) {
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle toolbar = toolbarOf(window, band);
    struct Case {
        unsigned id;
        const char* page;
    };
    const Case cases[] = {
        {32777, nullptr},  {32778, ""},          {32779, "/news"},   {32780, "/sites"},
        {32781, "/posts"}, {32782, "/sync"},     {32783, "/groups"}, {32785, "/setup"},
        {32786, "/help"},  {32787, "/messages"}, {32789, nullptr},   {6003, nullptr},
    };
    for (const auto& c : cases) {
        command(window, toolbar, c.id);
        EXPECT_EQ(newCalls(window), c.page ? std::vector<std::string>{"Navigate2(" + std::string(kHome) + c.page + ")"}
                                           : std::vector<std::string>{})
            << c.id;
    }
    command(window, toolbar, 32788);
    const auto popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->title, "Morvane");
    EXPECT_EQ(popup->rect.width(), 450);
    EXPECT_EQ(popup->rect.height(), 500);
    EXPECT_EQ(popup->url, std::string(kHome) + "/NewInterestDialog");

    // The menu under button 6003 holds five of them; a pick comes back as
    // a command.
    chooseMenuItem(32782);
    ASSERT_TRUE(clickToolbarArrow(toolbar, 6003));
    window.run([] {});
    window.settle();
    EXPECT_EQ(
        desktopEvents().back(),
        "menu-track x=0 y=17 flags=2 items=\"Create New Tag|Import Tags/RSS|-|Morvane Sidebar|-|Preferences|Help\""
        " picked=32782");
    EXPECT_EQ(newCalls(window), std::vector<std::string>{"Navigate2(" + std::string(kHome) + "/sync)"});

    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// 6003 shows the sidebar even when the flag says it is shown, then opens
// the home page; "Morvane Sidebar" flips the flag and the bar with it.
TEST_F(ToolbarBandTest, OpenButtonAlwaysShowsTheSidebarAndTheMenuToggles) {
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle toolbar = toolbarOf(window, band);
    const std::string show = "ShowBrowserBar(\"" + m_sidebarId + "\", true, INT 1)";
    const std::string hide = "ShowBrowserBar(\"" + m_sidebarId + "\", false, INT 1)";
    for (int flag : {1, 0}) {
        m_app.sidebarShown = flag;
        ASSERT_TRUE(clickToolbarButton(toolbar, 6003));
        window.settle();
        EXPECT_EQ(newCalls(window),
                  (std::vector<std::string>{"PutVisible(true)", show, "Navigate2(" + std::string(kHome) + ")"}));
        EXPECT_EQ(m_app.sidebarShown, 1);
    }
    for (auto [before, call, after] : {std::tuple{1, hide, 0}, {0, show, 1}, {2, hide, 0}}) {
        m_app.sidebarShown = before;
        command(window, toolbar, 32784);
        EXPECT_EQ(newCalls(window), (std::vector<std::string>{"PutVisible(true)", call})) << before;
        EXPECT_EQ(m_app.sidebarShown, after);
    }
    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// The check mark of "Morvane Sidebar" shows the flag as the sidebar sets it
// (1 shown): only exactly 1 checks it. Opening the menu focuses the toolbar.
TEST_F(ToolbarBandTest, CheckMarkFollowsTheSidebarFlag) {
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle toolbar = toolbarOf(window, band);
    for (auto [flag, mark] : {std::pair{1, "checked"}, {0, "unchecked"}, {2, "unchecked"}, {1, "checked"}}) {
        m_app.sidebarShown = flag;
        clearDesktopEvents();
        chooseMenuItem(0);
        ASSERT_TRUE(clickToolbarArrow(toolbar, 6003));
        const auto events = desktopEvents();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], std::string("menu-check item=32784 ") + mark) << flag;
    }
    HRESULT focus = S_FALSE;
    window.run([&] { focus = band->HasFocusIO(); });
    EXPECT_EQ(focus, S_OK);
    // The arrow of the other button has no menu.
    EXPECT_FALSE(clickToolbarArrow(toolbar, 6004));
    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

TEST_F(ToolbarBandTest, TagItOpensTheDialogForTheCurrentPage) {
    declarePage("xyz", "abc");
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle toolbar = toolbarOf(window, band);
    ASSERT_TRUE(window.navigate("xyz") && window.settle());
    ASSERT_TRUE(clickToolbarButton(toolbar, 6004));
    const auto popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->title, "Morvane");
    EXPECT_EQ(popup->rect.width(), 700);
    EXPECT_EQ(popup->rect.height(), 500);
    EXPECT_EQ(popup->url, kHome + TagItPath(0, "abc", "xyz"));
    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// The box lists the interests fetched at each drop-down under its two fixed
// items; a pick tags the page under the interest picked, matched by its
// decoded name; a failed fetch leaves the fixed items alone.
TEST_F(ToolbarBandTest, InterestsBoxListsAndTagsUnderAnInterest) {
    const std::string longName(60, 'n');
    std::string bareLongName;  // Base64 without a line break
    for (int i = 0; i < 20; ++i)
        bareLongName += "bm5u";
    server.setReply("/interests",
                    {.body = percentEncoded("{3:\"UmVhZGluZw==\",9:\"Q2Fmw6kg4piV\",5:\"" + bareLongName + "\"}")});
    declarePage("http://page.example/", "Page");
    BrowserWindow window;
    auto band = place(window);
    const WindowHandle box = boxOf(toolbarOf(window, band));
    ASSERT_TRUE(window.navigate("http://page.example/") && window.settle());
    const std::string separator = [] {
        std::string dashes;
        for (int i = 0; i < 20; ++i)
            dashes += "\u2014";
        return dashes;
    }();

    window.run([&] { SetWindowText(box, "typed"); });
    ASSERT_TRUE(dropDownComboBox(box));
    EXPECT_EQ(comboBoxState(box)->items,
              (std::vector<std::string>{"New interest ...", separator, "Reading", "Caf\u00e9 \u2615", longName}));
    // The first drop-down clears the box's text, later ones do not.
    EXPECT_EQ(comboBoxState(box)->text, "");
    window.run([&] { SetWindowText(box, "typed"); });
    ASSERT_TRUE(dropDownComboBox(box));
    EXPECT_EQ(comboBoxState(box)->text, "typed");
    const auto siteCalls = m_siteLog->lines();
    EXPECT_EQ(std::count(siteCalls.begin(), siteCalls.end(), "OnFocusChangeIS true"), 2);
    const auto head = server.requests().at(0);
    EXPECT_NE(head.find("\r\nUser-Agent: Web Service Client\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("Content-Type"), std::string::npos) << head;

    ASSERT_TRUE(pickComboBoxItem(box, 4));
    auto popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->url, kHome + TagItPath(5, "Page", "http://page.example/"));
    EXPECT_EQ(popup->rect.width(), 700);
    ASSERT_TRUE(closePopups());
    ASSERT_TRUE(pickComboBoxItem(box, 3));
    popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->url, kHome + TagItPath(9, "Page", "http://page.example/"));
    ASSERT_TRUE(closePopups());

    // The separator opens nothing; the first item opens the New Interest
    // dialog.
    ASSERT_TRUE(pickComboBoxItem(box, 1));
    ASSERT_TRUE(pickComboBoxItem(box, 0));
    popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->title, "Morvane");
    EXPECT_EQ(popup->url, std::string(kHome) + "/NewInterestDialog");
    EXPECT_EQ(popup->rect.width(), 520);
    EXPECT_EQ(popup->rect.height(), 280);

    server.setReply("/interests", {.status = 500, .body = percentEncoded("{3:\"UmVhZGluZw==\"}")});
    ASSERT_TRUE(dropDownComboBox(box));
    EXPECT_EQ(comboBoxState(box)->items, (std::vector<std::string>{"New interest ...", separator}));
    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// A site without a window gets no band; one without the browser's service
// gets a band whose pages open nowhere and whose Tag It has nothing to tag.
TEST_F(ToolbarBandTest, SitesWithoutTheirLinks) {
    BrowserWindow window;
    HRESULT result = S_OK;
    auto band = place(window, result, BandSiteLinks{.window = false});
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(toolbarOf(window, band), 0u);
    EXPECT_TRUE(childWindows(window.toolbarArea()).empty());

    band = place(window, result, BandSiteLinks{.serviceProvider = false});
    ASSERT_EQ(result, S_OK);
    const WindowHandle toolbar = toolbarOf(window, band);
    ASSERT_TRUE(clickToolbarButton(toolbar, 6003));
    EXPECT_EQ(m_app.sidebarShown, 1);
    ASSERT_TRUE(clickToolbarButton(toolbar, 6004));
    const auto popup = onePopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->url, kHome + TagItPath(0, "", ""));
    EXPECT_TRUE(window.browser().calls().empty());
    window.run([&] { EXPECT_EQ(band->SetSite(nullptr), S_OK); });
}

// Taken off its site the band destroys its windows, lets go of everything
// (the site, and the frame browser that the site holds too) and leaves the
// application's record, which only the band that set it clears; released,
// nothing of it is left.
TEST_F(ToolbarBandTest, TakenOffItsSiteItLeavesNothingBehind) {
    BrowserWindow window;
    const std::uint32_t browserReferences = references(&window.browser());
    auto first = place(window);
    auto second = place(window);
    const WindowHandle toolbar = toolbarOf(window, first);
    const WindowHandle host = GetParent(toolbar);
    const WindowHandle box = boxOf(toolbar);
    auto sidebarBrowser = ComPtr<Counted>::adopt(new Counted);
    auto laterBrowser = ComPtr<Counted>::adopt(new Counted);

    // The record is the second band's: the first one's leaving keeps it.
    HRESULT result = E_FAIL;
    window.run([&] { result = first->SetSite(nullptr); });
    EXPECT_EQ(result, S_OK);
    m_app.SetSidebarBrowser(sidebarBrowser.get());
    EXPECT_EQ(references(sidebarBrowser.get()), 2u);
    for (WindowHandle gone : {toolbar, host, box})
        EXPECT_FALSE(IsWindow(gone));
    HRESULT siteResult = S_OK;
    WindowHandle noWindow = 1;
    window.run([&] {
        void* site = nullptr;
        siteResult = first->GetSite(InputObjectSite::kId, &site);
        EXPECT_EQ(first->GetWindow(noWindow), S_OK);
    });
    EXPECT_EQ(siteResult, E_FAIL);
    EXPECT_EQ(noWindow, 0u);

    window.run([&] { result = second->SetSite(nullptr); });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(references(sidebarBrowser.get()), 1u);
    m_app.SetSidebarBrowser(laterBrowser.get());
    EXPECT_EQ(references(laterBrowser.get()), 1u);
    EXPECT_TRUE(childWindows(window.toolbarArea()).empty());
    EXPECT_EQ(references(&window.browser()), browserReferences);

    window.run([&] {
        first.reset();
        second.reset();
        sidebarBrowser.reset();
        laterBrowser.reset();
    });
    EXPECT_TRUE(moduleCanUnload());
}

}  // namespace

}  // namespace ovix
