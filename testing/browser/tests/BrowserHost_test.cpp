// The browser host with an add-on module loaded as a browser loads one: from
// the registry store, sited, shown and taken down with the window; every
// navigation reaches every sink; the bar hosts a browser control whose page
// takes drops.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <sstream>

#include "compat/browser/HtmlWindow2.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/Keyboard.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ToolbarControl.h"
#include "testing/RuntimeFolderTest.h"
#include "testing/ScratchFolder.h"
#include "testing/browser/BrowserWindow.h"
#include "testing/browser/DraggedData.h"
#include "testing/browser/LoadedPage.h"
#include "testing/browser/ScriptedBrowserControls.h"
#include "testing/browser/tests/RecordingAddon.h"

namespace {

using namespace compat;
using namespace compat::testing;
using Outcome = ScriptedBrowser::Outcome;

class BrowserHost : public ovix::testing::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        setenv("XDG_CONFIG_HOME", (m_runtime / "config").c_str(), 1);
        m_module = std::make_unique<ComModule>(RECORDING_ADDON);
        ASSERT_EQ(m_module->registerServer(), S_OK);
        forgetDeclaredPages();
        activateOtherApplication();
    }
    void TearDown() override {
        m_module.reset();
        unsetenv("XDG_CONFIG_HOME");
    }

    // What the add-on object of `classId` in `window` recorded, line by line.
    static std::vector<std::string> seenBy(BrowserWindow& window, const Guid& classId) {
        DispatchValue result;
        window.run([&] {
            if (auto object = window.addon(classId).as<Dispatch>()) {
                EXPECT_EQ(object->Invoke(kCallsId, {}, result), S_OK);
            }
        });
        std::vector<std::string> lines;
        std::istringstream text(std::get<std::string>(result));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    static bool contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    const std::string m_helper = kHelperId.toString();
    const std::string m_toolbar = kToolbarId.toString();
    const std::string m_bar = kBarId.toString();
    ScriptedBrowserControls m_controls;
    std::unique_ptr<ComModule> m_module;
};

TEST_F(BrowserHost, AddonsComeFromTheRegistryAndGoWithTheWindow) {
    BrowserWindow window;
    EXPECT_EQ(window.calls(), (std::vector<std::string>{"SetSite " + m_helper, "SetSite " + m_toolbar,
                                                        "GetBandInfo " + m_toolbar, "ShowDW " + m_toolbar + " true"}));
    // The helper object found the window and its small icon.
    EXPECT_EQ(seenBy(window, kHelperId).at(0), "SetSite icon " + std::to_string(window.smallIcon()));
    // The toolbar found its site's window and the window's browser, and put
    // its window in the toolbar area.
    EXPECT_EQ(seenBy(window, kToolbarId), (std::vector<std::string>{"SetSite window yes input site yes browser yes",
                                                                    "GetBandInfo 0", "ShowDW true"}));
    const auto info = window.bandInfo(kToolbarId);
    EXPECT_EQ(info->mask, DBIM_TITLE | DBIM_MINSIZE);
    EXPECT_EQ(info->title, "Recording toolbar");
    const auto bands = childWindows(window.toolbarArea());
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(GetClassName(bands[0]), TOOLBARCLASSNAME);
    EXPECT_TRUE(IsWindowVisible(bands[0]));
    EXPECT_EQ(window.browser().sinkCount(), 2u);
    EXPECT_EQ(m_module->canUnloadNow(), S_FALSE);

    ASSERT_TRUE(window.close());
    const auto calls = window.calls();
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
              (std::vector<std::string>{"CloseDW " + m_toolbar, "SetSite " + m_toolbar + " null",
                                        "SetSite " + m_helper + " null"}));
    EXPECT_FALSE(IsWindow(window.frame()));
    EXPECT_FALSE(IsWindow(bands[0]));
    EXPECT_EQ(window.browser().sinkCount(), 0u);
    EXPECT_EQ(m_module->canUnloadNow(), S_OK);
}

TEST_F(BrowserHost, EveryNavigationReachesEverySinkAndCancelStopsIt) {
    declarePage("http://page.example/a", "Page A");
    BrowserWindow window;
    auto& browser = window.browser();
    const auto navigated = [&](std::string_view url) {
        return window.navigate(url) && window.settle();
    };

    ASSERT_TRUE(navigated("http://page.example/a"));
    EXPECT_EQ(browser.location(), "http://page.example/a");
    EXPECT_EQ(browser.title(), "Page A");
    // Cancelled by the first sink, still seen by the second; nothing loads.
    ASSERT_TRUE(navigated("cancel:stop"));
    EXPECT_EQ(browser.location(), "http://page.example/a");
    // An undeclared page, its address as a browser writes it.
    ASSERT_TRUE(navigated("http://Other.example?q"));
    EXPECT_EQ(browser.location(), "http://Other.example/?q");
    EXPECT_EQ(browser.title(), "http://Other.example/?q");
    // The add-on's own navigations: the newer load replaces the older.
    window.run([&] {
        EXPECT_EQ(browser.Navigate2("http://page.example/b"), S_OK);
        EXPECT_EQ(browser.Navigate2("http://page.example/c"), S_OK);
    });
    ASSERT_TRUE(window.settle());
    EXPECT_EQ(browser.location(), "http://page.example/c");
    // The page navigates by itself.
    ASSERT_TRUE(browser.pageNavigates("http://page.example/d") && window.settle());
    EXPECT_EQ(browser.location(), "http://page.example/d");

    std::vector<std::pair<std::string, Outcome>> outcomes;
    for (const auto& navigation : browser.navigations())
        outcomes.emplace_back(navigation.url, navigation.outcome);
    EXPECT_EQ(outcomes, (decltype(outcomes){{"http://page.example/a", Outcome::Completed},
                                           {"cancel:stop", Outcome::Cancelled},
                                           {"http://Other.example/?q", Outcome::Completed},
                                           {"http://page.example/b", Outcome::Replaced},
                                           {"http://page.example/c", Outcome::Completed},
                                           {"http://page.example/d", Outcome::Completed}}));
    EXPECT_EQ(browser.calls(),
              (std::vector<std::string>{"Navigate2(http://page.example/b)", "Navigate2(http://page.example/c)"}));

    // The event's seven arguments in call order, and the events of each sink.
    const auto helper = seenBy(window, kHelperId);
    EXPECT_EQ(helper.at(1), "BeforeNavigate2 object \"http://page.example/a\" I4 0 \"\" empty \"\" ref false");
    EXPECT_EQ(helper.at(2), "DocumentComplete http://page.example/a");
    const auto toolbar = seenBy(window, kToolbarId);
    const std::vector<std::string> events(toolbar.begin() + 3, toolbar.end());
    EXPECT_EQ(events, (std::vector<std::string>{
                          "BeforeNavigate2 window http://page.example/a", "DocumentComplete window http://page.example/a",
                          "BeforeNavigate2 window cancel:stop", "BeforeNavigate2 window http://Other.example/?q",
                          "DocumentComplete window http://Other.example/?q", "BeforeNavigate2 window http://page.example/b",
                          "BeforeNavigate2 window http://page.example/c", "DocumentComplete window http://page.example/c",
                          "BeforeNavigate2 window http://page.example/d", "DocumentComplete window http://page.example/d"}));
}

TEST_F(BrowserHost, FilePagesAreTheRealFilesWithTheirTitleAndScript) {
    ovix::testing::writeFile(m_runtime / "page.html",
                             "<html><head><TITLE>\n Real page </TITLE><script>function onShow() {}</script></head>");
    const std::string url = "file://" + (m_runtime / "page.html").string();
    BrowserWindow window;
    auto& browser = window.browser();
    ASSERT_TRUE(window.navigate(url) && window.settle());
    EXPECT_EQ(browser.title(), "Real page");

    window.run([&] {
        ComPtr<ComUnknown> document;
        ComPtr<Dispatch> script;
        ASSERT_EQ(browser.GetDocument(document.put()), S_OK);
        ASSERT_EQ(document.as<HtmlDocument>()->GetScript(script.put()), S_OK);
        DispatchId id = 0;
        EXPECT_EQ(script->GetIDsOfNames("onShow", id), S_OK);
        EXPECT_EQ(script->GetIDsOfNames("onHide", id), DISP_E_UNKNOWNNAME);
        auto window2 = script.as<HtmlWindow2>();
        DispatchValue result;
        EXPECT_EQ(window2->execScript("onShow()", "javascript", result), S_OK);
        EXPECT_EQ(window2->execScript("onHide()", "javascript", result), DISP_E_EXCEPTION);
    });
    std::vector<std::string> names;
    for (const auto& call : browser.scriptCalls())
        names.push_back(call.name + " " + std::get<std::string>(call.arguments.at(0)));
    EXPECT_EQ(names, (std::vector<std::string>{"GetIDsOfNames onShow", "GetIDsOfNames onHide", "execScript onShow()",
                                               "execScript onHide()"}));

    // A file that is not there fails to load: nothing changes.
    ASSERT_TRUE(window.navigate(url + ".gone") && window.settle());
    EXPECT_EQ(browser.navigations().back().outcome, Outcome::Failed);
    EXPECT_EQ(browser.location(), url);
}

TEST_F(BrowserHost, BarIsMadeAtTheBrowsersRequestAndHostsAPageThatTakesDrops) {
    declarePage(kBarPage, "Bar page", {"DropIt"});
    BrowserWindow window;
    ASSERT_TRUE(window.navigate(kShowBarPrefix) && window.settle());
    EXPECT_EQ(window.browser().calls(), std::vector<std::string>{"ShowBrowserBar(\"" + m_bar + "\", true, I4 0)"});
    EXPECT_TRUE(contains(window.calls(), "ShowDW " + m_bar + " true"));
    // Its navigation is asked about at once and loads later: the bar is shown
    // (vertical) before its page is there.
    EXPECT_EQ(seenBy(window, kBarId),
              (std::vector<std::string>{"SetSite window yes input site yes browser yes",
                                        "BeforeNavigate2 bar http://bar.example/", "GetBandInfo 1", "ShowDW true",
                                        "DocumentComplete bar http://bar.example/"}));

    // The bar's control: the bar became its client site and forwards to the
    // host's default UI handler what it does not answer itself.
    const auto bars = childWindows(window.barArea());
    ASSERT_EQ(bars.size(), 1u);
    const auto hosted = hostedBrowser(bars[0]);
    ASSERT_TRUE(hosted);
    EXPECT_EQ(hosted->location(), kBarPage);
    EXPECT_EQ(hosted->calls(), (std::vector<std::string>{"SetClientSite(site)", "PutRegisterAsDropTarget(true)",
                                                         "Navigate2(http://bar.example/)"}));
    EXPECT_EQ(controlHostUiCalls(bars[0]), std::vector<std::string>{"GetHostInfo"});
    EXPECT_EQ(hosted->pageExternal().get(), static_cast<WebBrowser2*>(&window.browser()));

    // Drops: text reaches DropIt at the bar's client point, and every medium
    // given is released; a file offers no text and calls nothing.
    const auto text = DraggedData::text(u"dropped");
    const auto unterminated = DraggedData::text(u"abc", false);
    const auto file = DraggedData::file("/tmp/x");
    for (const auto& data : {text, unterminated, file}) {
        const auto outcome = hosted->drop(data.get(), Point{50, 100});
        EXPECT_TRUE(outcome.reachedTarget);
        EXPECT_EQ(outcome.result, S_OK);
        EXPECT_EQ(data->mediaReleased(), data->mediaGiven());
    }
    EXPECT_EQ(text->mediaGiven(), 1u);
    EXPECT_EQ(file->mediaGiven(), 0u);
    std::vector<std::string> dropped;
    for (const auto& call : hosted->scriptCalls()) {
        if (call.name == "DropIt") {
            ASSERT_EQ(call.arguments.size(), 3u);
            EXPECT_EQ(std::get<NativeInt>(call.arguments[1]), NativeInt{50});
            EXPECT_EQ(std::get<NativeInt>(call.arguments[2]), NativeInt{72});
            dropped.push_back(std::get<std::string>(call.arguments[0]));
        }
    }
    EXPECT_EQ(dropped, (std::vector<std::string>{"dropped", "abc"}));

    // Focus and in-place activation go through the bar's sites.
    ASSERT_TRUE(clickWindow(hosted->window()));
    EXPECT_TRUE(contains(window.calls(), "OnFocusChangeIS true"));
    window.run([&] {
        auto input = window.addon(kBarId).as<InputObject>();
        EXPECT_EQ(input->UIActivateIO(true, nullptr), S_OK);
        EXPECT_EQ(input->HasFocusIO(), S_OK);
        EXPECT_EQ(input->TranslateAcceleratorIO(MessageRecord{hosted->window(), WM_KEYDOWN, VK_F5, 1, 0, {}}), S_OK);
    });
    EXPECT_TRUE(hosted->inPlaceActive());
    EXPECT_TRUE(contains(seenBy(window, kBarId), "OnInPlaceActivate"));

    ASSERT_TRUE(window.navigate(kHideBarPrefix) && window.settle());
    EXPECT_EQ(window.calls().back(), "ShowDW " + m_bar + " false");
    EXPECT_FALSE(IsWindowVisible(bars[0]));
    ASSERT_TRUE(window.close());
    EXPECT_TRUE(contains(window.calls(), "CloseDW " + m_bar));
    EXPECT_EQ(hosted->sinkCount(), 0u);
    EXPECT_FALSE(IsWindow(hosted->window()));
    EXPECT_EQ(m_module->canUnloadNow(), S_OK);
}

TEST_F(BrowserHost, BandSitesGiveOnlyTheLinksTheyHave) {
    const struct {
        BandSiteLinks links;
        std::string line;  // the toolbar's first, or the window's last
    } cases[] = {
        {{true, false, true, true}, "SetSite window yes input site no browser yes"},
        {{true, true, false, true}, "SetSite window yes input site yes browser no"},
        {{true, true, true, false}, "SetSite window yes input site yes browser no"},
        // Without a window the band cannot make its own, and fails.
        {{false, true, true, true}, "load " + kToolbarId.toString() + " failed: SetSite"},
    };
    for (const auto& c : cases) {
        BrowserWindow window(BrowserWindow::Options{c.links});
        if (window.addon(kToolbarId))
            EXPECT_EQ(seenBy(window, kToolbarId).at(0), c.line);
        else
            EXPECT_EQ(window.calls().back(), c.line);
    }
}

TEST_F(BrowserHost, WindowClosedByItsAddonEndsItsThread) {
    BrowserWindow window;
    ASSERT_TRUE(window.navigate(kClosePrefix));
    EXPECT_TRUE(window.waitUntilClosed());
    EXPECT_FALSE(window.isOpen());
    EXPECT_FALSE(window.run([] {}));
    EXPECT_EQ(window.calls().back(), "SetSite " + m_helper + " null");
}

}  // namespace
