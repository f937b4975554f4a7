// Popups on threads of their own: where they open, how their pages resize
// and close them, how they end whoever closes them, and which one gets the
// keys.

#include "addon/browser/popup/WebBrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "addon/browser/popup/BrowserSmallIcon.h"
#include "addon/browser/popup/NewWindowCommand.h"
#include "addon/browser/popup/PopupKeyboardHook.h"
#include "addon/browser/popup/tests/PopupWindows.h"
#include "compat/browser/ActiveWindow.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/Keyboard.h"
#include "compat/browser/LoadedPage.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"
#include "compat/com/ModuleUsage.h"
#include "testing/RuntimeFolderTest.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace compat;
using ovix::testing::eventually;
using ovix::testing::popupWindows;
using Outcome = ScriptedBrowser::Outcome;

constexpr std::uint32_t kPopupStyle = 0x80C80000;  // WS_POPUP | WS_CAPTION | WS_SYSMENU
constexpr std::uint32_t kControlStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL;

// An open popup and the browser in it.
struct Popup {
    WindowHandle window = 0;
    WindowHandle control = 0;
    ComPtr<ScriptedBrowser> browser;
};

class Popups : public ovix::testing::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        setWorkArea({0, 0, 1280, 1024});
        activateOtherApplication();
        ASSERT_TRUE(moduleCanUnload());
    }
    void TearDown() override {
        for (WindowHandle window : popupWindows())
            PostMessage(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(threadsEnded());
    }

    // The popup titled `title` once it shows its page `url`.
    static Popup waitForPopup(const std::string& title, const std::string& url) {
        Popup popup;
        const bool shown = eventually([&] {
            for (WindowHandle window : popupWindows()) {
                const auto state = windowState(window);
                const auto children = childWindows(window);
                if (!state || state->text != title || !state->visible || children.size() != 1)
                    continue;
                popup = {window, children[0], hostedBrowser(children[0])};
                return popup.browser && popup.browser->location() == canonicalUrl(url);
            }
            return false;
        });
        EXPECT_TRUE(shown) << title << " never showed " << url;
        return popup;
    }
    static Popup open(const std::string& title, const std::string& url, int width, int height) {
        EXPECT_TRUE(ovix::WebBrowser::Open(title, url, width, height));
        return waitForPopup(title, url);
    }
    // Every popup thread has ended and freed its popup: the module has no
    // use left.
    static bool threadsEnded() {
        return eventually([] { return moduleCanUnload(); });
    }
    static Rect rectOf(WindowHandle window) {
        const auto state = windowState(window);
        return state ? state->screenRect : Rect{};
    }
};

TEST_F(Popups, OpenCentredInTheWorkAreaWithTheirControlAndTheBrowsersIcon) {
    // The browser's small icon, saved once from the first frame.
    std::thread([] {
        for (IconHandle icon : {IconHandle{0x1C0}, IconHandle{0x2C0}}) {
            const WindowHandle frame = CreateWindowEx(0, "Frame", "", WS_POPUP, 0, 0, 10, 10, 0, 0);
            SendMessage(frame, WM_SETICON, ICON_SMALL, static_cast<std::intptr_t>(icon));
            ovix::SaveBrowserSmallIcon(frame);
            DestroyWindow(frame);
        }
    }).join();
    ASSERT_EQ(ovix::BrowserSmallIcon(), 0x1C0u);

    const Popup popup = open("Title", "http://localhost:10101/TagItDialog?tag=x", 700, 500);
    ASSERT_TRUE(popup.browser);
    const auto state = windowState(popup.window);
    EXPECT_EQ(state->style, kPopupStyle | WS_VISIBLE);
    EXPECT_EQ(state->parent, 0u);
    EXPECT_EQ(state->screenRect, (Rect{290, 262, 990, 762}));
    EXPECT_EQ(state->smallIcon, 0x1C0u);
    EXPECT_EQ(GetActiveWindow(), popup.window);
    EXPECT_EQ(ovix::PopupKeyboardHook::ActivePopup(), popup.window);
    EXPECT_FALSE(moduleCanUnload());

    const auto control = windowState(popup.control);
    EXPECT_EQ(control->className, kAxHostClass);
    EXPECT_EQ(control->text, "about:blank");
    EXPECT_EQ(control->style, kControlStyle);
    EXPECT_EQ(control->screenRect, state->screenRect);
    EXPECT_EQ(windowState(popup.browser->window())->screenRect, state->screenRect);
    DocHostUiInfo info;
    ASSERT_EQ(controlHostSite(popup.control)->GetHostInfo(info), S_OK);
    EXPECT_TRUE(info.flags & DOCHOSTUIFLAG_THEME);
    EXPECT_EQ(popup.browser->sinkCount(), 1u);
}

TEST_F(Popups, AreKeptInsideTheWorkArea) {
    setWorkArea({100, 50, 1380, 1074});
    const struct {
        int width, height;
        Rect rect;
    } cases[] = {
        {700, 500, {390, 312, 1090, 812}},
        {301, 201, {590, 462, 891, 663}},
        {2000, 1200, {100, 50, 2100, 1250}},
        {-5, 99999, {740, 50, 740, 50 + ovix::kLargestPopupSide}},
    };
    for (const auto& c : cases) {
        const std::string title = std::to_string(c.width) + "x" + std::to_string(c.height);
        const Popup popup = open(title, "http://localhost:10101/", c.width, c.height);
        EXPECT_EQ(rectOf(popup.window), c.rect) << title;
        EXPECT_EQ(rectOf(popup.control), c.rect) << title;
    }
}

TEST_F(Popups, TheCommandOfAPageOpensOne) {
    ASSERT_TRUE(ovix::ParseNewWindowCommand("morvane:new(Morvane,http://127.0.0.1:1/x,300,200)"));
    const Popup popup = waitForPopup("Morvane", "http://127.0.0.1:1/x");
    EXPECT_EQ(rectOf(popup.window), (Rect{490, 412, 790, 612}));
}

TEST_F(Popups, PagesResizeThemAroundTheirCentre) {
    const struct {
        const char* url;
        Outcome outcome;
        Rect rect;
    } cases[] = {
        {"morvane:resize(800,600)", Outcome::Cancelled, {50, 50, 850, 650}},
        {"morvane:x?y:resize( 600,400)&z", Outcome::Cancelled, {150, 150, 750, 550}},
        {"morvane:resize(701,499)", Outcome::Cancelled, {100, 100, 801, 599}},
        {"morvane:resize(800)", Outcome::Cancelled, {100, 100, 800, 600}},
        {"morvane:resize(800,600", Outcome::Cancelled, {100, 100, 800, 600}},
        {"morvane:foo", Outcome::Cancelled, {100, 100, 800, 600}},
        {"morvane:resize(99999999999,-5)", Outcome::Cancelled, {100 - 16033, 350, 100 + 32767 - 16033, 350}},
        {"http://localhost:10101/a:resize(800,600)", Outcome::Completed, {100, 100, 800, 600}},
        {"MORVANE:resize(800,600)", Outcome::Completed, {100, 100, 800, 600}},
    };
    const Popup popup = open("Resized", "http://localhost:10101/", 700, 500);
    for (const auto& c : cases) {
        runOnWindowThread(popup.window, [&] { MoveWindow(popup.window, 100, 100, 700, 500, true); });
        ASSERT_TRUE(popup.browser->pageNavigates(c.url));
        ASSERT_TRUE(popup.browser->settle());
        EXPECT_EQ(popup.browser->navigations().back().outcome, c.outcome) << c.url;
        EXPECT_EQ(rectOf(popup.window), c.rect) << c.url;
        EXPECT_EQ(rectOf(popup.control), c.rect) << c.url;
    }
}

TEST_F(Popups, EndTheirThreadHoweverTheirWindowGoes) {
    const struct {
        const char* how;
        std::function<void(const Popup&)> close;
    } cases[] = {
        {"page", [](const Popup& p) { EXPECT_TRUE(p.browser->pageNavigates("morvane:close&sidebar=0")); }},
        {"close box", [](const Popup& p) { EXPECT_TRUE(clickCloseBox(p.window)); }},
        {"SC_CLOSE", [](const Popup& p) { SendMessage(p.window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](const Popup& p) { EXPECT_TRUE(PostMessage(p.window, WM_CLOSE, 0, 0)); }},
        {"destroyed", [](const Popup& p) { runOnWindowThread(p.window, [&] { DestroyWindow(p.window); }); }},
    };
    for (const auto& c : cases) {
        const Popup popup = open(c.how, "http://localhost:10101/", 450, 500);
        ASSERT_TRUE(popup.browser) << c.how;
        EXPECT_FALSE(moduleCanUnload()) << c.how;
        c.close(popup);
        EXPECT_TRUE(threadsEnded()) << c.how;
        EXPECT_FALSE(IsWindow(popup.window)) << c.how;
        EXPECT_EQ(popup.browser->sinkCount(), 0u) << c.how;
    }
}

TEST_F(Popups, OneWhoseControlCannotBeMadeClosesAtOnce) {
    setControlsCanBeMade(false);
    EXPECT_TRUE(ovix::WebBrowser::Open("No control", "http://localhost:10101/", 450, 500));
    EXPECT_TRUE(threadsEnded());
    setControlsCanBeMade(true);
    EXPECT_TRUE(popupWindows().empty());
}

TEST_F(Popups, KeysGoToTheControlOfThePopupActivatedLast) {
    const Popup first = open("First", "http://localhost:10101/a", 450, 500);
    const Popup second = open("Second", "http://localhost:10101/b", 520, 280);
    const auto keysOf = [](const Popup& popup) {
        std::vector<std::string> keys;
        for (const auto& call : popup.browser->calls()) {
            if (call.starts_with("TranslateAccelerator"))
                keys.push_back(call);
        }
        return keys;
    };
    // Both popups belong to this process: only WM_ACTIVATE tells them apart.
    ASSERT_TRUE(clickWindow(first.browser->window()));
    EXPECT_EQ(ovix::PopupKeyboardHook::ActivePopup(), first.window);
    EXPECT_EQ(pressKey(VK_TAB), KeyOutcome::Swallowed);
    EXPECT_EQ(pressKey(VK_TAB, false), KeyOutcome::Posted);
    EXPECT_EQ(pressKey('A'), KeyOutcome::Posted);
    EXPECT_EQ(keysOf(first), (std::vector<std::string>{"TranslateAccelerator(256, 9)", "TranslateAccelerator(257, 9)",
                                                       "TranslateAccelerator(256, 65)"}));
    ASSERT_TRUE(clickWindow(second.browser->window()));
    EXPECT_EQ(ovix::PopupKeyboardHook::ActivePopup(), second.window);
    EXPECT_EQ(pressKey(VK_F5), KeyOutcome::Swallowed);
    EXPECT_EQ(keysOf(second), (std::vector<std::string>{"TranslateAccelerator(256, 116)"}));
    EXPECT_EQ(keysOf(first).size(), 3u);

    // Once the second is gone, the first is active again and takes the keys.
    ASSERT_TRUE(second.browser->pageNavigates("morvane:close"));
    ASSERT_TRUE(eventually([&] { return !IsWindow(second.window); }));
    EXPECT_EQ(ovix::PopupKeyboardHook::ActivePopup(), first.window);
    ASSERT_TRUE(clickWindow(first.browser->window()));
    EXPECT_EQ(pressKey(VK_BACK), KeyOutcome::Swallowed);
    EXPECT_EQ(keysOf(first).back(), "TranslateAccelerator(256, 8)");
}

}  // namespace
