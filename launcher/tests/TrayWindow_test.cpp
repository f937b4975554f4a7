// The tray window on this thread, against the headless desktop: its icon and
// balloons, status reports, menu, About box, Logon Launch, the pages it opens
// and Exit.

#include "launcher/TrayWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "compat/desktop/Cursor.h"
#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/Dialog.h"
#include "compat/desktop/MessageBox.h"
#include "compat/desktop/SimulatedInput.h"
#include "compat/ipc/MessageWindow.h"
#include "launcher/Autostart.h"
#include "launcher/LauncherLog.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/LauncherResources.h"
#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/QueueListener.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using compat::RegistryHive;
using compat::RegistryKey;
using ovix::testing::eventually;
using ovix::testing::readFile;

using ovix::testing::QueueListener;

// The word parameters of the WM_USER messages that `listener` has received so far.
std::vector<std::uintptr_t> userCodes(QueueListener& listener) {
    std::vector<std::uintptr_t> codes;
    for (const auto& message : listener.receivedSoFar()) {
        if (message.message == compat::WM_USER)
            codes.push_back(message.wParam);
    }
    return codes;
}

bool sawQuit(QueueListener& listener) {
    const auto received = listener.receivedSoFar();
    return !received.empty() && received.back().message == compat::WM_QUIT;
}

class TrayWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"run", "config", "app", "bin", "tmp"})
            fs::create_directories(m_scratch / folder);
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        setenv("TMPDIR", (m_scratch / "tmp").c_str(), 1);
        setenv("PATH", ((m_scratch / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
        fs::current_path(m_scratch / "app");
        opener("exit 0");
        compat::clearDesktopEvents();
        m_state.launcherPath = m_scratch / "app" / "MorvaneLaunch.exe";
        m_state.mainThreadId = compat::currentThreadId();
        ASSERT_TRUE(RegistryKey::create(RegistryHive::CurrentUser, kLauncherKeyPath));
    }

    // The URL opener: records its argument, then runs `then`.
    void opener(const std::string& then) {
        const auto path = m_scratch / "bin" / "xdg-open";
        std::ofstream(path) << "#!/bin/sh\necho \"$1\" >> '" << opened().string() << "'\n" << then << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }

    std::unique_ptr<TrayWindow> makeWindow(compat::AppLocalServerFactory server = [] { return nullptr; }) {
        auto window = TrayWindow::create(m_state, m_application, std::move(server));
        EXPECT_TRUE(window);
        return window;
    }

    void command(std::uintptr_t id) { send(compat::WM_COMMAND, id, 0); }

    // Delivers one message to the main window and everything it posts in turn.
    void send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        compat::PostMessage(m_state.mainWindow, message, wParam, lParam);
        pump();
    }
    void pump() {
        compat::Message message;
        while (compat::PeekMessage(message, true)) {
            if (message.message == compat::WM_QUIT) {
                m_quitPosted = true;
                continue;
            }
            compat::DispatchMessage(message);
        }
    }

    std::optional<compat::NotifyIconData> icon() { return compat::notifyIcon(m_state.mainWindow, kTrayIconId); }
    std::string openedUrls() { return readFile(opened()); }
    fs::path opened() const { return m_scratch / "opened"; }

    ovix::testing::ScratchFolder m_scratch;
    LauncherState m_state;
    ApplicationProcess m_application{m_state.app};
    bool m_quitPosted = false;
};

TEST_F(TrayWindowTest, StatusReportsSetIconTipAndBalloonAndOpenTheStartUrlOnce) {
    m_state.startUrl = "http://localhost:10101/sites";
    auto window = makeWindow();
    ASSERT_TRUE(window->addIcon());
    EXPECT_FALSE(window->addIcon());
    EXPECT_EQ(icon()->icon, IDI_STARTING);
    EXPECT_EQ(icon()->tip, "Morvane is starting");
    EXPECT_EQ(icon()->info, "Please wait...");
    EXPECT_EQ(icon()->callbackMessage, WM_TRAYNOTIFY);
    EXPECT_EQ(icon()->timeoutMs, 15000u);
    EXPECT_EQ(icon()->infoFlags, compat::NIIF_INFO);

    m_state.restartCount = 3;
    command(PLATFORM_STATUS_BASE + kStatusOffline);
    EXPECT_EQ(m_state.restartCount, 0u);
    EXPECT_EQ(icon()->icon, IDI_STARTING);
    EXPECT_EQ(icon()->tip, "Morvane is currently offline and shared interests may not be updated");
    EXPECT_EQ(icon()->infoTitle, "Morvane is up");
    EXPECT_TRUE(icon()->info.starts_with("Morvane is opening in your default browser.  Right-click"));
    EXPECT_EQ(openedUrls(), "http://localhost:10101/sites\n");
    EXPECT_TRUE(m_state.urlOpened);
    EXPECT_EQ(openLauncherKey()->queryDword(kReadyValue), 1u);

    command(PLATFORM_STATUS_BASE + kStatusNewMessages);
    EXPECT_EQ(icon()->icon, IDI_NEW_MESSAGES);
    EXPECT_EQ(icon()->tip, "You have new messages");
    EXPECT_EQ(icon()->info, "");
    EXPECT_EQ(icon()->infoTitle, "");
    EXPECT_EQ(openedUrls(), "http://localhost:10101/sites\n");

    // Unknown statuses, also from stray commands, leave icon and tip alone.
    for (std::uintptr_t id : {std::uintptr_t{PLATFORM_STATUS_BASE + 3}, std::uintptr_t{0xFF05}}) {
        m_state.restartCount = 2;
        command(id);
        EXPECT_EQ(icon()->icon, IDI_NEW_MESSAGES);
        EXPECT_EQ(icon()->tip, "You have new messages");
        EXPECT_EQ(m_state.restartCount, 0u);
    }
    command(PLATFORM_STATUS_BASE + kStatusOnline);
    EXPECT_EQ(icon()->icon, IDI_ONLINE);
    EXPECT_EQ(icon()->tip, "Morvane is online");

    window->removeIcon();
    EXPECT_FALSE(icon());
}

TEST_F(TrayWindowTest, WithoutAStartUrlNoBalloonAndNoBrowser) {
    auto window = makeWindow();
    ASSERT_TRUE(window->addIcon());
    EXPECT_EQ(icon()->info, "");
    // Without the key, "Ready" is not written, and nothing else fails.
    ASSERT_TRUE(RegistryKey::removeTree(RegistryHive::CurrentUser, kLauncherKeyPath));
    command(PLATFORM_STATUS_BASE);
    EXPECT_EQ(icon()->icon, IDI_ONLINE);
    EXPECT_EQ(icon()->info, "");
    EXPECT_FALSE(fs::exists(opened()));
    EXPECT_FALSE(openLauncherKey());
}

TEST_F(TrayWindowTest, TheIconAndTheMenuOpenPagesAndTheMenuShowsAtTheCursor) {
    m_state.app.threadId = 0;
    auto window = makeWindow();
    ASSERT_TRUE(window->addIcon());
    const auto items = compat::menuItems(window->trayMenu());
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].text, "Open Morvane");
    EXPECT_TRUE(items[0].isDefault);
    EXPECT_TRUE(items[2].separator);
    EXPECT_EQ(items[4].id, IDM_EXIT);

    // A double click opens the base page whatever the application does.
    ASSERT_TRUE(compat::clickNotifyIcon(m_state.mainWindow, kTrayIconId, compat::WM_LBUTTONDBLCLK));
    pump();
    EXPECT_EQ(openedUrls(), "http://localhost:10101/\n");

    compat::SetCursorPos(640, 480);
    compat::chooseMenuItem(IDM_HELP);
    ASSERT_TRUE(compat::clickNotifyIcon(m_state.mainWindow, kTrayIconId, compat::WM_RBUTTONUP));
    pump();
    EXPECT_EQ(compat::desktopEvents().back(),
              "menu-track x=640 y=480 flags=40 items=\"Open Morvane|Help|-|About...|Exit\" picked=32781");
    // A context menu at a point left of the primary screen.
    send(compat::WM_CONTEXTMENU, 0, static_cast<std::intptr_t>(0x0020FFF6));
    EXPECT_EQ(compat::desktopEvents().back(),
              "menu-track x=-10 y=32 flags=40 items=\"Open Morvane|Help|-|About...|Exit\" picked=none");
    command(IDM_MESSAGES);
    command(IDM_OPEN);
    EXPECT_EQ(openedUrls(),
              "http://localhost:10101/\nhttp://localhost:10101/help\nhttp://localhost:10101/messages\n"
              "http://localhost:10101/\n");
    for (const auto& event : compat::desktopEvents())
        EXPECT_FALSE(event.starts_with("message-box")) << event;
}

TEST_F(TrayWindowTest, ABrowserThatCannotBeStartedIsReportedInAMessageBox) {
    opener("exit 3");
    auto window = makeWindow();
    command(IDM_HELP);
    EXPECT_EQ(compat::desktopEvents().back(),
              "message-box caption=\"Morvane\" text=\"Morvane could not launch your default browser.\\n\\nPlease "
              "open your browser manually and navigate to http://localhost:10101/help\\n\\n(Error: 31)\" type=0");
    // No opener at all is the shell's "not found", which is not reported.
    fs::remove(m_scratch / "bin" / "xdg-open");
    setenv("PATH", (m_scratch / "bin").c_str(), 1);
    compat::clearDesktopEvents();
    command(IDM_OPEN);
    EXPECT_TRUE(compat::desktopEvents().empty());
}

TEST_F(TrayWindowTest, AboutShowsANewBoxThatAClickCloses) {
    auto window = makeWindow();
    command(IDM_ABOUT);
    command(IDM_CLASS_ABOUT);
    const auto boxes = compat::openDialogs(IDD_ABOUTBOX);
    ASSERT_EQ(boxes.size(), 2u);
    const auto styles = compat::dialogStyles(boxes[0]);
    EXPECT_TRUE(styles->style & compat::WS_POPUP);
    EXPECT_EQ(styles->exStyle, compat::WS_EX_CLIENTEDGE);
    const auto events = compat::desktopEvents();
    EXPECT_EQ(events.at(0),
              "dialog-create id=103 texts=\"Morvane, your personal content space. (C) Dastel.|"
              "0.8.4.trunk.r4395\" window=" +
                  std::to_string(boxes[0]));

    compat::PostMessage(boxes[0], compat::WM_LBUTTONUP, 0, 0);
    compat::PostMessage(boxes[1], compat::WM_COMMAND, compat::IDCANCEL, 0);
    pump();
    EXPECT_TRUE(compat::openDialogs(IDD_ABOUTBOX).empty());
    EXPECT_EQ(compat::desktopEvents().back(), "dialog-end id=103 result=2 window=" + std::to_string(boxes[1]));
}

TEST_F(TrayWindowTest, LogonLaunchTogglesAutostartAndRunsTheBrowserScriptWhenSwitchedOn) {
    std::ofstream(m_scratch / "app" / "browser.bat")
        << "echo ran >> '" << (m_scratch / "browser.ran").string() << "'\n";
    m_state.autostartBits = kAutostartCurrentUser;
    auto window = makeWindow();
    command(IDM_LOGONLAUNCH);
    EXPECT_EQ(m_state.autostartBits, kAutostartCurrentUser | kAutostartSet);
    auto run = RegistryKey::open(RegistryHive::CurrentUser, kRunKeyPath);
    ASSERT_TRUE(run);
    EXPECT_TRUE(IsAutostartSet(*run, m_state.launcherPath));
    EXPECT_EQ(compat::desktopEvents().back(), "menu-check item=32774 checked missing");
    EXPECT_TRUE(eventually([&] { return readFile(m_scratch / "browser.ran") == "ran\n"; }));

    command(IDM_LOGONLAUNCH);
    EXPECT_EQ(m_state.autostartBits, kAutostartCurrentUser);
    EXPECT_FALSE(IsAutostartSet(*run, m_state.launcherPath));
    EXPECT_EQ(compat::desktopEvents().back(), "menu-check item=32774 unchecked missing");
    // No second run over a span of 200 ms: the sleep is the span checked.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(readFile(m_scratch / "browser.ran"), "ran\n");

    // A Run key that cannot be written changes nothing.
    ASSERT_TRUE(RegistryKey::removeTree(RegistryHive::CurrentUser, kRunKeyPath));
    std::ofstream(compat::registryRoot() / "HKEY_CURRENT_USER" / "software" / "microsoft" / "windows" /
                  "currentversion" / "run")
        << "not a key";
    compat::clearDesktopEvents();
    command(IDM_LOGONLAUNCH);
    EXPECT_EQ(m_state.autostartBits, kAutostartCurrentUser);
    EXPECT_TRUE(compat::desktopEvents().empty());
    // No second run over a span of 200 ms: the sleep is the span checked.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(readFile(m_scratch / "browser.ran"), "ran\n");
}

TEST_F(TrayWindowTest, PauseResumeAndQuitGoToTheApplicationThread) {
    QueueListener application;
    QueueListener monitor;
    m_state.app.threadId = application.id();
    m_state.monitorThreadId = monitor.id();
    auto window = makeWindow();
    command(IDM_PAUSE);
    command(IDM_RESUME);
    // Closed without Exit: the monitor and the application are told to stop.
    command(IDM_CLASS_EXIT);
    EXPECT_FALSE(compat::IsWindow(m_state.mainWindow));
    EXPECT_TRUE(m_quitPosted);
    EXPECT_TRUE(m_state.stopRequested.isSet());
    EXPECT_TRUE(eventually([&] { return userCodes(application).size() == 3; }));
    EXPECT_EQ(userCodes(application),
              (std::vector<std::uintptr_t>{PLATFORM_TMSG_PAUSE, PLATFORM_TMSG_RESUME, PLATFORM_TMSG_QUIT}));
    EXPECT_TRUE(eventually([&] { return sawQuit(monitor); }));
}

TEST_F(TrayWindowTest, ExitWithNoReportedProcessLogsItAndDeletesTheTemporaryEntries) {
    QueueListener application;
    m_state.app.threadId = application.id();
    std::ofstream(m_scratch / "tmp" / "winy1") << "x";
    std::ofstream(m_scratch / "tmp" / "other") << "x";
    auto window = makeWindow();
    command(IDM_EXIT);
    command(IDM_EXIT);
    EXPECT_EQ(readFile(m_scratch / "app" / "MorvaneLaunch.log"), "no process to kill\n");
    EXPECT_FALSE(fs::exists(m_scratch / "tmp" / "winy1"));
    EXPECT_TRUE(fs::exists(m_scratch / "tmp" / "other"));
    EXPECT_TRUE(eventually([&] { return userCodes(application) == std::vector<std::uintptr_t>{PLATFORM_TMSG_QUIT}; }));
    // The window lives on until the monitor's end ends the loop.
    EXPECT_TRUE(compat::IsWindow(m_state.mainWindow));
    EXPECT_FALSE(m_quitPosted);
}

}  // namespace

}  // namespace ovix
