// The headless desktop's notification icons and menus, and the journal that
// shows them to other processes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/Menu.h"
#include "compat/desktop/NotifyIcon.h"
#include "compat/desktop/SimulatedInput.h"
#include "compat/ipc/MessageWindow.h"
#include "testing/ScratchFolder.h"

namespace {

using ovix::testing::readFile;

class DesktopModel : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", m_scratch.path().c_str(), 1);
        setenv("OVIX_DESKTOP_JOURNAL", (m_scratch / "journal").c_str(), 1);
        compat::clearDesktopEvents();
        m_window = compat::CreateMessageWindow(
            [this](compat::WindowHandle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                m_seen.push_back({0, message, wParam, lParam});
                return std::intptr_t{0};
            });
        ASSERT_NE(m_window, 0u);
    }
    void TearDown() override { compat::DestroyWindow(m_window); }

    void pump() {
        compat::Message message;
        while (compat::PeekMessage(message, true))
            compat::DispatchMessage(message);
    }

    ovix::testing::ScratchFolder m_scratch;
    compat::WindowHandle m_window = 0;
    std::vector<compat::Message> m_seen;
};

TEST_F(DesktopModel, AnIconTakesOnlyTheFieldsAChangeFlagsAndKeepsTheirSizes) {
    compat::NotifyIconData data;
    data.window = m_window;
    data.id = 7;
    data.flags = compat::NIF_MESSAGE | compat::NIF_ICON | compat::NIF_TIP;
    data.callbackMessage = compat::WM_USER + 2;
    data.icon = 121;
    data.tip = std::string(200, 't');
    ASSERT_TRUE(compat::Shell_NotifyIcon(compat::NIM_ADD, data));
    EXPECT_FALSE(compat::Shell_NotifyIcon(compat::NIM_ADD, data));
    EXPECT_EQ(compat::notifyIcon(m_window, 7)->tip.size(), 127u);

    compat::NotifyIconData change;
    change.window = m_window;
    change.id = 7;
    change.flags = compat::NIF_INFO;
    change.info = "line one\nsaid \"hi\"";
    change.infoTitle = std::string(100, 'b');
    ASSERT_TRUE(compat::Shell_NotifyIcon(compat::NIM_MODIFY, change));
    const auto icon = compat::notifyIcon(m_window, 7);
    EXPECT_EQ(icon->icon, 121u);
    EXPECT_EQ(icon->tip, std::string(127, 't'));
    EXPECT_EQ(icon->infoTitle.size(), 63u);
    EXPECT_EQ(compat::desktopEvents().back(), "notify-icon modify id=7 balloon-title=\"" + std::string(63, 'b') +
                                                  "\" balloon=\"line one\\nsaid \\\"hi\\\"\"");

    // The user's clicks come back as the callback message.
    ASSERT_TRUE(compat::clickNotifyIcon(m_window, 7, compat::WM_RBUTTONUP));
    pump();
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].message, compat::WM_USER + 2);
    EXPECT_EQ(m_seen[0].wParam, 7u);
    EXPECT_EQ(m_seen[0].lParam, static_cast<std::intptr_t>(compat::WM_RBUTTONUP));

    ASSERT_TRUE(compat::Shell_NotifyIcon(compat::NIM_DELETE, change));
    EXPECT_FALSE(compat::notifyIcon(m_window, 7));
    EXPECT_FALSE(compat::Shell_NotifyIcon(compat::NIM_MODIFY, change));
    EXPECT_FALSE(compat::clickNotifyIcon(m_window, 7, compat::WM_LBUTTONDBLCLK));

    // The journal file holds the same lines, whole.
    const auto events = compat::desktopEvents();
    std::string expected;
    for (const auto& line : events)
        expected += line + '\n';
    EXPECT_EQ(readFile(m_scratch / "journal"), expected);
}

TEST_F(DesktopModel, AShownMenuDeliversThePickedCommandOnly) {
    const auto bar = compat::CreateMenu();
    const auto popup = compat::CreatePopupMenu();
    ASSERT_TRUE(compat::AppendMenu(popup, compat::MF_STRING, 10, "Ten"));
    ASSERT_TRUE(compat::AppendMenu(popup, compat::MF_SEPARATOR, 0, ""));
    ASSERT_TRUE(compat::AppendMenu(popup, compat::MF_STRING, 11, "Eleven"));
    ASSERT_TRUE(compat::AppendMenu(bar, compat::MF_POPUP, popup, "Popup"));
    EXPECT_FALSE(compat::AppendMenu(bar, compat::MF_POPUP, 12345, "not a menu"));
    EXPECT_EQ(compat::GetSubMenu(bar, 0), popup);
    EXPECT_EQ(compat::GetSubMenu(bar, 1), 0u);
    EXPECT_TRUE(compat::SetMenuDefaultItem(popup, 2, true));
    EXPECT_TRUE(compat::menuItems(popup)[2].isDefault);
    EXPECT_FALSE(compat::SetMenuDefaultItem(popup, 9, true));

    EXPECT_EQ(compat::CheckMenuItem(bar, 11, compat::MF_CHECKED), static_cast<int>(compat::MF_UNCHECKED));
    EXPECT_EQ(compat::CheckMenuItem(bar, 11, compat::MF_UNCHECKED), static_cast<int>(compat::MF_CHECKED));
    EXPECT_EQ(compat::CheckMenuItem(popup, 99, compat::MF_CHECKED), -1);
    EXPECT_EQ(compat::desktopEvents().back(), "menu-check item=99 checked missing");

    // Unarmed, and armed with an id the menu lacks: dismissed.
    EXPECT_TRUE(compat::TrackPopupMenu(popup, 0, 1, 2, m_window));
    compat::chooseMenuItem(99);
    EXPECT_TRUE(compat::TrackPopupMenu(popup, 0, 1, 2, m_window));
    compat::chooseMenuItem(11);
    EXPECT_TRUE(compat::TrackPopupMenu(popup, 0, 1, 2, m_window));
    // The pick is used up.
    EXPECT_TRUE(compat::TrackPopupMenu(popup, 0, 1, 2, m_window));
    pump();
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].message, compat::WM_COMMAND);
    EXPECT_EQ(m_seen[0].wParam, 11u);
    EXPECT_EQ(compat::desktopEvents().back(), "menu-track x=1 y=2 flags=0 items=\"Ten|-|Eleven\" picked=none");

    EXPECT_TRUE(compat::DestroyMenu(bar));
    EXPECT_TRUE(compat::menuItems(popup).empty());
    EXPECT_FALSE(compat::TrackPopupMenu(popup, 0, 1, 2, m_window));
    EXPECT_FALSE(compat::DestroyMenu(popup));
}

}  // namespace
