// The launcher as a process on a private session bus, with a panel's watcher,
// a notification server and a panel of the test's: its item and menu, what a
// click on them does, its balloons and messages as notices, a panel that
// comes later or again, and calls that no panel would make.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compat/desktop/Menu.h"
#include "compat/desktopbus/IconImage.h"
#include "compat/ipc/MessageQueue.h"
#include "launcher/LauncherIcons.h"
#include "launcher/LauncherResources.h"
#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/desktopbus/PrivateSessionBus.h"
#include "testing/desktopbus/TestNotificationServer.h"
#include "testing/desktopbus/TestPanel.h"
#include "testing/desktopbus/TestStatusNotifierWatcher.h"
#include "testing/launcher/LauncherSandbox.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ovix::testing::eventually;
using ovix::testing::Notification;
using ovix::testing::PrivateSessionBus;
using ovix::testing::readFile;
using ovix::testing::TestNotificationServer;
using ovix::testing::TestPanel;
using ovix::testing::TestStatusNotifierWatcher;

constexpr const char* kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr const char* kNoWatcherLine =
    "desktop: no StatusNotifierWatcher on the session bus (org.freedesktop.DBus.Error.ServiceUnknown): the icon "
    "shows once a panel starts one";
constexpr const char* kNoNoticesLine =
    "desktop: no notification service on the session bus (org.freedesktop.DBus.Error.ServiceUnknown): balloons and "
    "messages are not shown";

// A notice as one line: sender, icon, summary, body and time-out.
std::string describe(const Notification& notice) {
    return notice.app + "|" + notice.icon + "|" + notice.summary + "|" + notice.body + "|" +
           std::to_string(notice.timeoutMs);
}

class DesktopBus : public ovix::testing::LauncherSandbox {
protected:
    void SetUp() override {
        LauncherSandbox::SetUp();
        fs::create_directories(m_scratch / "bus");
        m_bus = std::make_unique<PrivateSessionBus>(m_scratch / "bus");
        ASSERT_FALSE(address().empty()) << readFile(m_scratch / "bus" / "bus.log");
        setenv("DBUS_SESSION_BUS_ADDRESS", address().c_str(), 1);
        m_panel = std::make_unique<TestPanel>(address());
        ASSERT_TRUE(m_panel->connected());
    }

    const std::string& address() const { return m_bus->address(); }

    std::unique_ptr<TestStatusNotifierWatcher> startWatcher() {
        auto watcher = std::make_unique<TestStatusNotifierWatcher>(address());
        EXPECT_TRUE(watcher->owned());
        return watcher;
    }

    // The service that `watcher` was given as its `count`th registration;
    // empty when it was not given one.
    static std::string registeredItem(const TestStatusNotifierWatcher& watcher, std::size_t count = 1) {
        return watcher.registered().waitForCount(count) ? watcher.registered().entries().at(count - 1) : "";
    }

    static std::string itemOf(const compat::Process& launcher, unsigned shown = 1) {
        return "org.kde.StatusNotifierItem-" + std::to_string(launcher.pid()) + "-" + std::to_string(shown);
    }

    // The item shows the pictures of icon resource `icon` in every size.
    void expectIcon(const std::string& item, unsigned icon) {
        const auto pixmaps = m_panel->iconPixmap(item);
        const auto images = launcherIconImages(icon);
        ASSERT_EQ(pixmaps.size(), images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(pixmaps[i].width, images[i].width);
            EXPECT_EQ(pixmaps[i].height, images[i].height);
            EXPECT_EQ(pixmaps[i].bytes, compat::pixmapBytes(images[i])) << "size " << images[i].width;
        }
    }

    std::string click(const std::string& item, std::uintptr_t command) {
        return m_panel->callMenu(item, "Event", "isvu", static_cast<std::int32_t>(command), "clicked", "s", "", 0u);
    }

    // The user picks Exit from the item's menu; the launcher's exit code.
    int exitFromMenu(const std::string& item, compat::Process& launcher) {
        EXPECT_EQ(click(item, IDM_EXIT), "");
        return finish(launcher, 10s);
    }

    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<TestPanel> m_panel;
};

TEST_F(DesktopBus, ShowsItsItemMenuAndStartBalloonAndAnswersTheUsersClicks) {
    auto watcher = startWatcher();
    TestNotificationServer notices(address(), /*readsMarkup=*/true);
    ASSERT_TRUE(notices.owned());
    auto launcher = start("http://localhost:10101/start");

    const std::string item = registeredItem(*watcher);
    ASSERT_EQ(item, itemOf(launcher));
    EXPECT_EQ(m_panel->text(item, "Title"), "MorvaneLaunch");
    EXPECT_EQ(m_panel->text(item, "Id"), "MorvaneLaunch");
    EXPECT_EQ(m_panel->text(item, "Category"), "ApplicationStatus");
    EXPECT_EQ(m_panel->text(item, "Status"), "Active");
    EXPECT_EQ(m_panel->toolTipTitle(item), "Morvane is starting");
    expectIcon(item, IDI_STARTING);

    std::vector<std::string> entries;
    for (const auto& entry : m_panel->menu(item))
        entries.push_back(entry.type == "separator" ? "-" : entry.label);
    EXPECT_EQ(entries, (std::vector<std::string>{"Open Morvane", "Help", "-", "About...", "Exit"}));

    ASSERT_TRUE(notices.notified().waitForCount(1));
    EXPECT_EQ(describe(notices.notified().entries()[0]),
              "MorvaneLaunch|dialog-information|Morvane is starting|Please wait...|15000");

    // A click on the item is the icon's double click.
    EXPECT_EQ(m_panel->callItem(item, "Activate", "ii", 10, 20), "");
    EXPECT_TRUE(eventually([&] { return readFile(opened()) == "http://localhost:10101/\n"; }));
    // A panel that shows no menu itself asks the window for it at a point.
    EXPECT_EQ(m_panel->callItem(item, "ContextMenu", "ii", 640, 480), "");
    EXPECT_TRUE(eventually([&] {
        return count(lines(journal()),
                     "menu-track x=640 y=480 flags=40 items=\"Open Morvane|Help|-|About...|Exit\" picked=none") == 1;
    }));

    EXPECT_EQ(click(item, IDM_ABOUT), "");
    ASSERT_TRUE(notices.notified().waitForCount(2));
    EXPECT_EQ(describe(notices.notified().entries()[1]),
              "MorvaneLaunch||Morvane, your personal content space. (C) Dastel.|0.8.4.trunk.r4395|-1");

    EXPECT_EQ(exitFromMenu(item, launcher), 0);
    EXPECT_EQ(lines(record()).back(), "exit 0");
    // The start balloon went with the icon.
    ASSERT_TRUE(notices.closed().waitForCount(1));
    EXPECT_EQ(notices.closed().entries()[0], notices.notified().entries()[0].id);
    EXPECT_EQ(readFile(log()), "no process to kill\n");
}

TEST_F(DesktopBus, StatusReportsChangeIconAndTipRaiseTheirSignalsAndReplaceTheBalloon) {
    auto watcher = startWatcher();
    TestNotificationServer notices(address(), /*readsMarkup=*/false);
    auto launcher = start("http://localhost:10101/start");
    const std::string item = registeredItem(*watcher);
    ASSERT_EQ(item, itemOf(launcher));
    ASSERT_TRUE(notices.notified().waitForCount(1));

    const struct {
        unsigned status;
        unsigned icon;
        const char* tip;
    } reports[] = {
        {kStatusOnline, IDI_ONLINE, "Morvane is online"},
        {kStatusNewMessages, IDI_NEW_MESSAGES, "You have new messages"},
        {kStatusOffline, IDI_STARTING, "Morvane is currently offline and shared interests may not be updated"},
    };
    std::size_t reported = 0;
    for (const auto& report : reports) {
        SCOPED_TRACE(report.tip);
        ++reported;
        ASSERT_TRUE(compat::PostThreadMessage(static_cast<compat::ThreadId>(launcher.pid()), compat::WM_USER,
                                              PLATFORM_STATUS_BASE + report.status, 0));
        ASSERT_TRUE(m_panel->waitForItemSignal("NewToolTip", reported));
        ASSERT_TRUE(m_panel->waitForItemSignal("NewIcon", reported));
        EXPECT_EQ(m_panel->toolTipTitle(item), report.tip);
        expectIcon(item, report.icon);
    }

    // The first report's balloon took the start balloon's place; the next
    // one, without a balloon, closed it.
    ASSERT_TRUE(notices.closed().waitForCount(1));
    const auto shown = notices.notified().entries();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].summary, "Morvane is up");
    EXPECT_TRUE(shown[1].body.starts_with("Morvane is opening in your default browser.  Right-click")) << shown[1].body;
    EXPECT_EQ(shown[1].replaces, shown[0].id);
    EXPECT_EQ(notices.closed().entries()[0], shown[0].id);
    EXPECT_EQ(readFile(opened()), "http://localhost:10101/start\n");
    EXPECT_EQ(exitFromMenu(item, launcher), 0);
}

TEST_F(DesktopBus, APanelThatComesLaterOrAgainGetsTheItemAndWhatIsMissingIsLoggedOnce) {
    standIn("status=0");
    auto launcher = start("http://localhost:10101/start");
    // Neither a panel nor a notification server: the launcher runs on.
    ASSERT_TRUE(eventually([&] { return count(lines(record()), "reported") == 1; }));
    ASSERT_TRUE(eventually([&] { return count(lines(log()), kNoWatcherLine) == 1; }));
    ASSERT_TRUE(eventually([&] { return count(lines(log()), kNoNoticesLine) == 1; }));

    auto watcher = startWatcher();
    EXPECT_EQ(registeredItem(*watcher), itemOf(launcher));
    // The panel restarts.
    watcher.reset();
    watcher = startWatcher();
    const std::string item = registeredItem(*watcher);
    ASSERT_EQ(item, itemOf(launcher));
    EXPECT_EQ(m_panel->toolTipTitle(item), "Morvane is online");

    // Another notice meets no server either, and is not logged again.
    EXPECT_EQ(click(item, IDM_ABOUT), "");
    EXPECT_EQ(exitFromMenu(item, launcher), 0);
    const auto logged = lines(log());
    EXPECT_EQ(logged.size(), 2u) << readFile(log());
    EXPECT_EQ(count(logged, kNoWatcherLine), 1u);
    EXPECT_EQ(count(logged, kNoNoticesLine), 1u);
}

TEST_F(DesktopBus, ABrowserThatCannotStartIsANoticeEscapedForAServerThatReadsMarkup) {
    std::ofstream(m_scratch / "bin" / "xdg-open") << "#!/bin/sh\nexit 3\n";
    TestNotificationServer notices(address(), /*readsMarkup=*/true);
    standIn("status=0");
    auto launcher = start("http://localhost:10101/start?a=1&b=<2>");
    const auto fromBox = [](const std::vector<Notification>& shown) {
        return std::count_if(shown.begin(), shown.end(), [](const auto& n) { return n.summary == "Morvane"; }) > 0;
    };
    ASSERT_TRUE(notices.notified().waitFor(fromBox));
    for (const auto& notice : notices.notified().entries()) {
        if (notice.summary != "Morvane")
            continue;
        EXPECT_EQ(describe(notice),
                  "MorvaneLaunch||Morvane|Morvane could not launch your default browser.\n\nPlease open your "
                  "browser manually and navigate to http://localhost:10101/start?a=1&amp;b=&lt;2&gt;\n\n"
                  "(Error: 31)|0");
    }
    ASSERT_TRUE(compat::PostThreadMessage(static_cast<compat::ThreadId>(launcher.pid()), compat::WM_COMMAND, IDM_EXIT,
                                          0));
    EXPECT_EQ(finish(launcher, 10s), 0);
}

TEST_F(DesktopBus, CallsThatNoPanelWouldMakeAreRefusedAndChangeNothing) {
    auto watcher = startWatcher();
    auto launcher = start();
    const std::string item = registeredItem(*watcher);
    ASSERT_EQ(item, itemOf(launcher));
    const auto menu = [&](const char* member, const char* types, auto... arguments) {
        return m_panel->callMenu(item, member, types, arguments...);
    };
    const struct {
        const char* what;
        std::function<std::string()> call;
        const char* error;
    } calls[] = {
        {"a click on no item", [&] { return click(item, 99); }, kInvalidArgs},
        {"a click without its data", [&] { return menu("Event", "isu", std::int32_t{32773}, "clicked", 0u); },
         kInvalidArgs},
        {"clicks on no item",
         [&] { return menu("EventGroup", "a(isvu)", 1u, std::int32_t{4242}, "clicked", "s", "", 0u); },
         kInvalidArgs},
        {"the layout under no item", [&] { return menu("GetLayout", "iias", std::int32_t{4242}, -1, 0u); },
         kInvalidArgs},
        {"a property of no item", [&] { return menu("GetProperty", "is", std::int32_t{7}, "label"); }, kInvalidArgs},
        {"a property that no item has",
         [&] { return menu("GetProperty", "is", std::int32_t{32773}, "shortcut"); }, kInvalidArgs},
        {"no item to show", [&] { return menu("AboutToShow", "i", std::int32_t{-5}); }, kInvalidArgs},
        {"an activation at a text", [&] { return m_panel->callItem(item, "Activate", "s", "x"); }, kInvalidArgs},
        {"a context menu without its point", [&] { return m_panel->callItem(item, "ContextMenu", ""); },
         kInvalidArgs},
        {"a method the item lacks", [&] { return m_panel->callItem(item, "Quit", ""); },
         "org.freedesktop.DBus.Error.UnknownMethod"},
    };
    for (const auto& c : calls)
        EXPECT_EQ(c.call(), c.error) << c.what;

    // A click on the separator is answered and runs nothing.
    EXPECT_EQ(click(item, m_panel->menu(item).at(2).id), "");
    EXPECT_EQ(m_panel->menu(item).size(), 5u);
    EXPECT_FALSE(launcher.wait(0ms));
    EXPECT_FALSE(fs::exists(opened()));
    EXPECT_EQ(exitFromMenu(item, launcher), 0);
}

}  // namespace

}  // namespace ovix
