// Start-up in this process, with the tray and application parts replaced by
// a recording double.

#include "launcher/MorvaneLaunch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "compat/ipc/MessageWindow.h"
#include "compat/ipc/NamedMutex.h"
#include "launcher/Autostart.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using compat::RegistryHive;
using compat::RegistryKey;

class RecordingParts : public LauncherParts {
public:
    bool setUpInstance(LauncherState& state) override {
        calls.push_back("setUpInstance");
        state.mainWindow = compat::CreateMessageWindow(
            [this](compat::WindowHandle w, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                if (message == compat::WM_COMMAND) {
                    commands.push_back(wParam);
                    if (wParam == IDM_EXIT)
                        compat::PostQuitMessage(9);
                }
                return compat::DefWindowProc(w, message, wParam, lParam);
            });
        return true;
    }
    bool addTrayIcon(LauncherState&) override {
        calls.push_back("addTrayIcon");
        if (onTrayIcon)
            onTrayIcon();
        return trayAccepted;
    }
    bool startMonitor(LauncherState& state) override {
        calls.push_back("startMonitor");
        if (monitor)
            thread = std::thread(monitor, std::ref(state));
        return true;
    }
    void waitForThreads() override {
        calls.push_back("waitForThreads");
        if (thread.joinable())
            thread.join();
    }
    void removeTrayIcon() override { calls.push_back("removeTrayIcon"); }
    void destroyMenus() override { calls.push_back("destroyMenus"); }
    int openUrl(const std::string& url) override {
        opened.push_back(url);
        return 42;
    }
    bool isApplicationProcess(std::uint32_t sender) override { return sender == compat::currentProcessId(); }

    bool trayAccepted = true;
    std::function<void()> onTrayIcon;
    std::function<void(LauncherState&)> monitor;
    std::thread thread;
    std::vector<std::string> calls;
    std::vector<std::uintptr_t> commands;
    std::vector<std::string> opened;
};

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        std::filesystem::create_directories(m_scratch / "app");
        std::filesystem::create_directories(m_scratch / "run");
        m_state.launcherPath = m_scratch / "app" / "MorvaneLaunch.exe";
    }

    std::optional<RegistryKey> launcherKey() { return openLauncherKey(); }
    void writeReady() {
        ASSERT_TRUE(RegistryKey::create(RegistryHive::CurrentUser, kLauncherKeyPath)->setDword(kReadyValue, 1));
    }

    ovix::testing::ScratchFolder m_scratch;
    LauncherState m_state;
    RecordingParts m_parts;
};

TEST_F(StartUp, FirstInstanceRunsItsLoopUntilQuitAndCleansUp) {
    // Left by a launcher that died.
    writeReady();
    ASSERT_TRUE(launcherKey()->setDword(kThreadIdValue, 1));
    bool staleValuesAtTrayIcon = true;
    m_parts.onTrayIcon = [&] {
        staleValuesAtTrayIcon = launcherKey()->query(kThreadIdValue) || launcherKey()->query(kReadyValue);
    };
    std::optional<std::uint32_t> publishedThread;
    bool readyWhileRunning = true;
    compat::Message relayed;
    m_parts.monitor = [&](LauncherState& state) {
        auto key = openLauncherKey();
        publishedThread = key->queryDword(kThreadIdValue);
        readyWhileRunning = key->query(kReadyValue).has_value();
        // This thread plays the application: it reports its ids, then asks
        // the launcher to pass a quit back to it, then exits the launcher.
        compat::ensureMessageQueue();
        const auto self = compat::currentThreadId();
        const auto main = state.mainThreadId;
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_TMSG_TID_LO, self & 0xFFFF);
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_TMSG_TID_HI, self >> 16);
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_TMSG_PID_LO, 0x5678);
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_TMSG_PID_HI, 0x0009);
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_TMSG_QUIT, 0);
        compat::GetMessage(relayed);
        compat::PostThreadMessage(main, compat::WM_USER, PLATFORM_STATUS_BASE + 2, 0);
        compat::PostThreadMessage(main, compat::WM_COMMAND, IDM_EXIT, 0);
    };

    EXPECT_EQ(runMorvaneLaunch("", m_state, m_parts), 9);
    EXPECT_FALSE(staleValuesAtTrayIcon);
    EXPECT_EQ(publishedThread, m_state.mainThreadId);
    EXPECT_FALSE(readyWhileRunning);
    EXPECT_EQ(relayed.message, compat::WM_USER);
    EXPECT_EQ(relayed.wParam, PLATFORM_TMSG_QUIT);
    EXPECT_EQ(m_state.app.processId, 0x00095678u);
    EXPECT_EQ(m_parts.commands, (std::vector<std::uintptr_t>{202, IDM_EXIT}));
    EXPECT_EQ(m_parts.calls, (std::vector<std::string>{"setUpInstance", "addTrayIcon", "startMonitor", "waitForThreads",
                                                       "removeTrayIcon", "destroyMenus"}));
    EXPECT_EQ(std::filesystem::current_path(), m_scratch / "app");
    auto key = launcherKey();
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->query(kThreadIdValue));
    EXPECT_FALSE(key->query(kReadyValue));
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
}

TEST_F(StartUp, ARefusedTrayIconEndsStartUpWithNothingLeft) {
    m_parts.trayAccepted = false;
    EXPECT_EQ(runMorvaneLaunch("http://localhost:10101/", m_state, m_parts), kCannotStartExitCode);
    EXPECT_EQ(m_parts.calls, (std::vector<std::string>{"setUpInstance", "addTrayIcon", "destroyMenus"}));
    EXPECT_FALSE(launcherKey());
    EXPECT_FALSE(compat::NamedMutex::isHeld(kSingleInstanceMutex));
}

TEST_F(StartUp, RegistrationSwitchesUseTheMachineKeyAndExitWithOne) {
    // The user's key is the one in use, yet the switches write the machine's.
    ASSERT_TRUE(RegistryKey::create(RegistryHive::CurrentUser, kRunKeyPath));
    EXPECT_EQ(runMorvaneLaunch("/RegServer", m_state, m_parts), 1);
    auto machine = RegistryKey::open(RegistryHive::LocalMachine, kRunKeyPath);
    ASSERT_TRUE(machine);
    EXPECT_TRUE(IsAutostartSet(*machine, m_state.launcherPath));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, kRunKeyPath)->query(kAutostartValue));
    EXPECT_EQ(runMorvaneLaunch("/UnregServer", m_state, m_parts), 1);
    EXPECT_FALSE(machine->query(kAutostartValue));
    EXPECT_TRUE(m_parts.calls.empty());
}

TEST_F(StartUp, QuitWithNoRunningInstanceExitsWithZeroAndLeavesNoValue) {
    EXPECT_EQ(runMorvaneLaunch("/quit", m_state, m_parts), 0);
    EXPECT_FALSE(launcherKey());
    EXPECT_EQ(m_parts.calls, (std::vector<std::string>{"setUpInstance"}));
}

TEST_F(StartUp, ASecondInstanceOpensItsUrlOnlyOnceTheFirstIsReady) {
    compat::NamedMutex first(kSingleInstanceMutex);
    ASSERT_EQ(first.state(), compat::NamedMutex::State::Owned);
    EXPECT_EQ(runMorvaneLaunch("http://localhost:10101/news", m_state, m_parts), 0);
    EXPECT_TRUE(m_parts.opened.empty());
    writeReady();
    EXPECT_EQ(runMorvaneLaunch("", m_state, m_parts), 0);
    EXPECT_TRUE(m_parts.opened.empty());
    EXPECT_EQ(runMorvaneLaunch("http://localhost:10101/news", m_state, m_parts), 0);
    EXPECT_EQ(m_parts.opened, std::vector<std::string>{"http://localhost:10101/news"});
    // A second instance never writes the first's values.
    EXPECT_FALSE(launcherKey()->query(kThreadIdValue));
}

TEST_F(StartUp, AnOverlongStartUrlIsRefusedWithALogLine) {
    compat::NamedMutex first(kSingleInstanceMutex);
    writeReady();
    EXPECT_EQ(runMorvaneLaunch(std::string(5000, 'u'), m_state, m_parts), 0);
    EXPECT_TRUE(m_parts.opened.empty());
    EXPECT_EQ(ovix::testing::readFile(m_scratch / "app" / "MorvaneLaunch.log"),
              "start URL of 5000 bytes refused: the limit is 2047 bytes\n");
}

}  // namespace

}  // namespace ovix
