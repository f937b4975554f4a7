// The system's controls as add-ons drive them: the toolbar keeps what its
// messages set and tells its parent of clicks, arrows and tooltips; the combo
// box tells of its list; the control host makes a browser from its text and
// hands it forwarded keys.

#include <gtest/gtest.h>

#include <optional>

#include "compat/browser/AxHost.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/browser/tests/UiThread.h"
#include "testing/RuntimeFolderTest.h"
#include "testing/browser/ScriptedBrowserControls.h"

namespace {

using compat::testing::controlHostHandler;
using compat::testing::hostedBrowser;
using compat::testing::MessageLog;
using compat::testing::ScriptedBrowserControls;
using compat::testing::Seen;
using compat::testing::UiThread;
using namespace compat;

class Controls : public ovix::testing::RuntimeFolderTest {
protected:
    // The thread needs the runtime folder for its queue.
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        m_thread = std::make_unique<UiThread>();
    }
    void TearDown() override { m_thread.reset(); }

    // A parent that keeps what its controls tell it and answers tooltips
    // with "tip" and the button's command.
    WindowHandle makeParent() {
        WindowHandle parent = 0;
        m_thread->run([&] {
            parent = CreateWindowEx(
                0, "Parent", "", WS_POPUP, 0, 0, 400, 100, 0, 0,
                [this](WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                    if (message == WM_NOTIFY) {
                        const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
                        if (header->code == TTN_GETDISPINFOW)
                            reinterpret_cast<ToolTipText*>(lParam)->text = "tip " + std::to_string(header->id);
                        if (header->code == TBN_DROPDOWN)
                            m_arrows.push_back(*reinterpret_cast<const ToolbarNotify*>(lParam));
                    }
                    return m_log.procedure()(window, message, wParam, lParam);
                });
        });
        return parent;
    }
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> commands(WindowHandle parent) const {
        std::vector<std::pair<std::uintptr_t, std::intptr_t>> found;
        for (const Seen& seen : m_log.of(parent, {WM_COMMAND}))
            found.emplace_back(seen.wParam, seen.lParam);
        return found;
    }

    MessageLog m_log;
    // The control host makes scripted browsers until a test takes them away.
    std::optional<ScriptedBrowserControls> m_controls{std::in_place};
    std::unique_ptr<UiThread> m_thread;
    std::vector<ToolbarNotify> m_arrows;  // the UI thread's, read after it ran
};

TEST_F(Controls, ToolbarKeepsWhatItIsToldAndReportsToItsParent) {
    const WindowHandle parent = makeParent();
    WindowHandle toolbar = 0;
    m_thread->run([&] {
        toolbar = CreateWindowEx(0, TOOLBARCLASSNAME, "", WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, 0, 0, 400, 24,
                                 parent, 34278);
        SendMessage(toolbar, TB_BUTTONSTRUCTSIZE, 20, 0);
        const ToolbarAddBitmap first{0, 0x5031};
        const ToolbarAddBitmap second{0, 0x5032};
        EXPECT_EQ(SendMessage(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<std::intptr_t>(&first)), 0);
        EXPECT_EQ(SendMessage(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<std::intptr_t>(&second)), 1);
        const ToolbarButton buttons[] = {{0, 6003, TBSTATE_ENABLED, BTNS_DROPDOWN | BTNS_AUTOSIZE, 0, 0},
                                         {1, 6004, TBSTATE_ENABLED, BTNS_AUTOSIZE, 0, 0}};
        EXPECT_EQ(SendMessage(toolbar, TB_ADDBUTTONSW, 2, reinterpret_cast<std::intptr_t>(buttons)), 1);
        EXPECT_EQ(SendMessage(toolbar, TB_ADDBUTTONSW, 0, 0), 0);
        for (const auto& [command, width] : {std::pair{6003, 43}, std::pair{6004, 64}}) {
            ToolbarButtonInfo info;
            info.mask = TBIF_SIZE;
            info.width = static_cast<std::uint16_t>(width);
            EXPECT_EQ(SendMessage(toolbar, TB_SETBUTTONINFOW, command, reinterpret_cast<std::intptr_t>(&info)), 1);
        }
        SendMessage(toolbar, TB_SETBITMAPSIZE, 0, makeLParam(57, 17));
        SendMessage(toolbar, TB_SETBUTTONSIZE, 0, makeLParam(57, 17));
        SendMessage(toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
        ToolbarMetrics metrics;
        metrics.mask = TBMF_PAD | TBMF_BUTTONSPACING;
        metrics.xPad = 7;
        metrics.yPad = 6;
        metrics.xBarPad = 99;  // not in the mask
        metrics.xButtonSpacing = 3;
        SendMessage(toolbar, TB_SETMETRICS, 0, reinterpret_cast<std::intptr_t>(&metrics));
    });

    const auto state = toolbarState(toolbar);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->buttonStructSize, 20u);
    EXPECT_EQ(state->bitmaps, (std::vector<ToolbarAddBitmap>{{0, 0x5031}, {0, 0x5032}}));
    ASSERT_EQ(state->buttons.size(), 2u);
    EXPECT_EQ(state->buttons[0].width, 43);
    EXPECT_EQ(state->buttons[1].button.style, BTNS_AUTOSIZE);
    EXPECT_EQ(state->bitmapSize.x, 57);
    EXPECT_EQ(state->buttonSize.y, 17);
    EXPECT_EQ(state->extendedStyle, TBSTYLE_EX_DRAWDDARROWS);
    ToolbarMetrics expected;
    expected.mask = TBMF_PAD | TBMF_BUTTONSPACING;
    expected.xPad = 7;
    expected.yPad = 6;
    expected.xButtonSpacing = 3;
    EXPECT_EQ(state->metrics, expected);
    EXPECT_EQ(SendMessage(toolbar, TB_COMMANDTOINDEX, 6004, 0), 1);
    EXPECT_EQ(SendMessage(toolbar, TB_COMMANDTOINDEX, 1, 0), -1);
    Rect item;
    ASSERT_EQ(SendMessage(toolbar, TB_GETITEMRECT, 1, reinterpret_cast<std::intptr_t>(&item)), 1);
    EXPECT_EQ(item, (Rect{46, 0, 110, 17}));
    EXPECT_EQ(SendMessage(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<std::intptr_t>(&item)), 0);

    // The user's clicks and questions reach the parent, on its thread.
    ASSERT_TRUE(clickToolbarButton(toolbar, 6004));
    EXPECT_FALSE(clickToolbarButton(toolbar, 6005));
    EXPECT_EQ(commands(parent), (decltype(commands(parent)){{makeWParam(6004, BN_CLICKED),
                                                             static_cast<std::intptr_t>(toolbar)}}));
    ASSERT_TRUE(clickToolbarArrow(toolbar, 6003));
    EXPECT_FALSE(clickToolbarArrow(toolbar, 6004));
    m_thread->run([&] {
        ASSERT_EQ(m_arrows.size(), 1u);
        EXPECT_EQ(m_arrows[0].header.from, toolbar);
        EXPECT_EQ(m_arrows[0].header.id, 34278u);
        EXPECT_EQ(m_arrows[0].item, 6003);
        EXPECT_EQ(m_arrows[0].buttonRect, (Rect{0, 0, 43, 17}));
    });
    EXPECT_EQ(toolbarTooltip(toolbar, 6003), "tip 6003");
    EXPECT_EQ(toolbarTooltip(toolbar, 6005), std::nullopt);
}

TEST_F(Controls, ComboBoxTellsItsParentOfItsListAndPicks) {
    const WindowHandle parent = makeParent();
    WindowHandle box = 0;
    m_thread->run([&] {
        box = CreateWindowEx(0, "COMBOBOX", "typed", WS_CHILD, 0, 0, 200, 300, parent, 7003);
        for (const char* item : {"New interest ...", "----", "books", "films"})
            SendMessage(box, CB_ADDSTRING, 0, reinterpret_cast<std::intptr_t>(item));
        EXPECT_EQ(SendMessage(box, CB_DELETESTRING, 2, 0), 3);
        std::string text;
        EXPECT_EQ(SendMessage(box, CB_GETLBTEXT, 2, reinterpret_cast<std::intptr_t>(&text)), 5);
        EXPECT_EQ(text, "films");
        EXPECT_EQ(SendMessage(box, CB_GETLBTEXT, 3, reinterpret_cast<std::intptr_t>(&text)), CB_ERR);
        SetWindowText(box, "");
    });
    ASSERT_TRUE(dropDownComboBox(box));
    ASSERT_TRUE(pickComboBoxItem(box, 2));
    EXPECT_FALSE(pickComboBoxItem(box, 3));
    const auto state = comboBoxState(box);
    EXPECT_EQ(state->items, (std::vector<std::string>{"New interest ...", "----", "films"}));
    EXPECT_EQ(state->selection, 2);
    EXPECT_EQ(state->text, "");
    const auto box32 = static_cast<std::intptr_t>(box);
    EXPECT_EQ(commands(parent),
              (decltype(commands(parent)){{makeWParam(7003, CBN_DROPDOWN), box32}, {makeWParam(7003, CBN_SELCHANGE), box32}}));
}

TEST_F(Controls, ControlHostMakesABrowserFromItsTextAndHandsItForwardedKeys) {
    WindowHandle popup = 0;
    WindowHandle host = 0;
    m_thread->run([&] {
        popup = CreateWindowEx(0, "Popup", "TagIt", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 700, 500, 0, 0);
        host = CreateWindowEx(0, kAxHostClass, "about:blank", WS_CHILD | WS_VISIBLE, 0, 0, 700, 500, popup, 0);
    });
    auto browser = hostedBrowser(host);
    ASSERT_TRUE(browser);
    ASSERT_TRUE(browser->settle());
    EXPECT_EQ(browser->location(), "about:blank");

    // The host's ambient flags and its control, as the popup reaches them.
    ComPtr<ComUnknown> hostObject;
    ComPtr<ComUnknown> control;
    ASSERT_EQ(AtlAxGetHost(host, hostObject.put()), S_OK);
    ASSERT_EQ(AtlAxGetControl(host, control.put()), S_OK);
    EXPECT_EQ(control.as<WebBrowser2>().get(), static_cast<WebBrowser2*>(browser.get()));
    auto ambient = hostObject.as<AxWinAmbientDispatch>();
    std::uint32_t flags = 0;
    ASSERT_EQ(ambient->GetDocHostFlags(flags), S_OK);
    ASSERT_EQ(ambient->PutDocHostFlags(flags | DOCHOSTUIFLAG_THEME), S_OK);
    DocHostUiInfo info;
    ASSERT_EQ(controlHostHandler(host)->GetHostInfo(info), S_OK);
    EXPECT_EQ(info.flags, DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME);

    // The control fills the host as the host is sized.
    SendMessage(host, WM_SIZE, SIZE_RESTORED, makeLParam(640, 480));
    EXPECT_EQ(windowState(browser->window())->screenRect, (Rect{0, 0, 640, 480}));

    // Keys forwarded to the host: the browser takes Tab, not a letter.
    const MessageRecord tab{browser->window(), WM_KEYDOWN, VK_TAB, 1, 0, {}};
    const MessageRecord letter{browser->window(), WM_KEYDOWN, 'A', 1, 0, {}};
    EXPECT_EQ(SendMessage(host, WM_FORWARDMSG, 0, reinterpret_cast<std::intptr_t>(&tab)), 1);
    EXPECT_EQ(SendMessage(host, WM_FORWARDMSG, 0, reinterpret_cast<std::intptr_t>(&letter)), 0);
    EXPECT_EQ(browser->calls(), (std::vector<std::string>{"TranslateAccelerator(256, 9)", "TranslateAccelerator(256, 65)"}));

    // Only the browser control exists, and only while a factory makes it; a
    // host that cannot make its control is no window.
    m_thread->run([&] {
        EXPECT_EQ(AtlAxCreateControl("{00000000-0000-0000-0000-000000000001}", popup, nullptr), REGDB_E_CLASSNOTREG);
        m_controls.reset();
        EXPECT_EQ(AtlAxCreateControl(CLSID_WebBrowser.toString(), popup, nullptr), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(CreateWindowEx(0, kAxHostClass, "about:blank", WS_CHILD, 0, 0, 1, 1, popup, 0), 0u);
        DestroyWindow(popup);
    });
    EXPECT_FALSE(hostedBrowser(host));
    EXPECT_FALSE(IsWindow(browser->window()));
}

}  // namespace
