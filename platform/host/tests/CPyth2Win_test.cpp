#include "platform/host/CPyth2Win.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "compat/ipc/MessageQueue.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/system/DisplayIdle.h"
#include "compat/system/ThreadNice.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/QueueListener.h"
#include "testing/RuntimeFolderTest.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::QueueListener;

class CPyth2WinTest : public ovix::testing::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        unsetenv("ParentThreadId");
    }
};

std::uint32_t parentIdFrom(const char* text) {
    setenv("ParentThreadId", text, 1);
    return CPyth2Win().GetParentThreadId();
}

// Posts from another thread, in order.
void postFromAnotherThread(compat::ThreadId to, const std::vector<std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t>>& messages) {
    std::thread([&] {
        for (const auto& [message, wParam, lParam] : messages)
            ASSERT_TRUE(compat::PostThreadMessage(to, message, wParam, lParam));
    }).join();
}

TEST_F(CPyth2WinTest, ParentThreadIdIsReadOnceAndOnlyAsAWholeNumber) {
    EXPECT_EQ(CPyth2Win().GetParentThreadId(), 0u);
    EXPECT_EQ(parentIdFrom("12345"), 12345u);
    EXPECT_EQ(parentIdFrom("4294967295"), 4294967295u);
    EXPECT_EQ(parentIdFrom("0000000000000000012"), 12u);  // 19 characters fit
    for (const char* absent : {"", "00000000000000000012", "4294967296", "12abc", "-5", " 7", "0x10"})
        EXPECT_EQ(parentIdFrom(absent), 0u) << '"' << absent << '"';

    setenv("ParentThreadId", "77", 1);
    CPyth2Win platform;
    setenv("ParentThreadId", "78", 1);
    EXPECT_EQ(platform.GetParentThreadId(), 77u);
}

TEST_F(CPyth2WinTest, ReportsWithoutAParentFail) {
    CPyth2Win platform;
    EXPECT_EQ(platform.SendStatusMsg(0), 0);
    EXPECT_EQ(platform.SendThreadMsg(1), 0);
    // A parent that has no queue (any more) fails the same way.
    QueueListener gone(0);
    const auto id = gone.id();
    gone.received();
    setenv("ParentThreadId", std::to_string(id).c_str(), 1);
    CPyth2Win orphan;
    EXPECT_EQ(orphan.SendStatusMsg(0), 0);
    EXPECT_EQ(orphan.SendThreadMsg(1), 0);
}

TEST_F(CPyth2WinTest, StatusAndIdsReachTheParentThreadInOrder) {
    QueueListener parent(10);
    setenv("ParentThreadId", std::to_string(parent.id()).c_str(), 1);
    CPyth2Win platform;
    EXPECT_EQ(platform.SendStatusMsg(2), 1);
    EXPECT_EQ(platform.SendThreadMsg(0x00012345), 1);
    EXPECT_EQ(platform.SendStatusMsg(-1), 1);
    // Ids are 32 bits on the wire: higher bits never reach the high half.
    EXPECT_EQ(platform.SendThreadMsg(0xF0000000FEDCBA98ul), 1);
    const auto messages = parent.received();
    ASSERT_EQ(messages.size(), 10u);
    const std::uint32_t pid = getpid();
    const std::vector<std::pair<std::uintptr_t, std::intptr_t>> expected = {
        {202, 0}, {0xFF03, 0x2345}, {0xFF04, 0x0001}, {0xFF07, pid & 0xFFFF}, {0xFF08, pid >> 16}, {199, 0},
        {0xFF03, 0xBA98}, {0xFF04, 0xFEDC}, {0xFF07, pid & 0xFFFF}, {0xFF08, pid >> 16}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i].message, compat::WM_USER) << i;
        EXPECT_EQ(messages[i].wParam, expected[i].first) << i;
        EXPECT_EQ(messages[i].lParam, expected[i].second) << i;
    }
}

TEST_F(CPyth2WinTest, ThreadMessagesBecomeCommands) {
    CPyth2Win platform;
    const std::uint32_t NOMSG = Pyth2Platform::NOMSG;
    postFromAnotherThread(compat::currentThreadId(), {
        {compat::WM_USER, PLATFORM_TMSG_QUIT, 0},
        {compat::WM_USER, PLATFORM_TMSG_RESUME, 0},
        {compat::WM_USER, PLATFORM_TMSG_PAUSE, 0},
        {compat::WM_USER, PLATFORM_TMSG_IMMSG, 1},
        {compat::WM_USER, PLATFORM_TMSG_IMMSG, 7},
        {compat::WM_QUIT, 0, 0},
        {compat::WM_USER, 0xFD04, 0},
        {compat::WM_USER, 202, 0},
        {compat::WM_APP, PLATFORM_TMSG_QUIT, 0},  // the code counts only in WM_USER
        {compat::WM_USER, PLATFORM_TMSG_RESUME, 0},
    });
    const std::vector<std::uint32_t> expected = {1, 3, 2, 65540, 0x70004, 1, NOMSG, NOMSG, NOMSG, 3};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(platform.GetACmd(), expected[i]) << i;
}

TEST_F(CPyth2WinTest, TargetOverrideTakesOneByteFromEachMessage) {
    setenv("ParentThreadId", "999", 1);
    CPyth2Win platform;
    EXPECT_EQ(platform.statusTarget(), 999u);
    const auto self = compat::currentThreadId();
    postFromAnotherThread(self, {{compat::WM_USER, PLATFORM_TMSG_TARGET_LO, 0x34},
                                 {compat::WM_USER, PLATFORM_TMSG_TARGET_HI, 0x12}});
    EXPECT_EQ(platform.GetACmd(), 0u);
    EXPECT_EQ(platform.statusTarget(), 0x34u);
    EXPECT_EQ(platform.GetACmd(), 0u);
    EXPECT_EQ(platform.statusTarget(), 0x1234u);
    EXPECT_EQ(platform.GetParentThreadId(), 999u);

    postFromAnotherThread(self, {{compat::WM_USER, PLATFORM_TMSG_TARGET_LO, 0x56}});
    platform.GetACmd();
    EXPECT_EQ(platform.statusTarget(), 0x1256u);
    // Bits above the byte stay out of the other byte and out of the id.
    postFromAnotherThread(self, {{compat::WM_USER, PLATFORM_TMSG_TARGET_LO, 0x1FF},
                                 {compat::WM_USER, PLATFORM_TMSG_TARGET_HI, 0xAB01}});
    platform.GetACmd();
    EXPECT_EQ(platform.statusTarget(), 0x12FFu);
    platform.GetACmd();
    EXPECT_EQ(platform.statusTarget(), 0x01FFu);
}

TEST_F(CPyth2WinTest, StatusGoesToTheOverrideThreadInsteadOfTheParent) {
    QueueListener parent(1, 1500ms), other(1);
    if (other.id() > 0xFFFF)
        GTEST_SKIP() << "thread id " << other.id() << " does not fit the 16-bit override";
    setenv("ParentThreadId", std::to_string(parent.id()).c_str(), 1);
    CPyth2Win platform;
    postFromAnotherThread(compat::currentThreadId(),
                          {{compat::WM_USER, PLATFORM_TMSG_TARGET_LO, static_cast<std::intptr_t>(other.id() & 0xFF)},
                           {compat::WM_USER, PLATFORM_TMSG_TARGET_HI, static_cast<std::intptr_t>(other.id() >> 8)}});
    platform.GetACmd();
    platform.GetACmd();
    EXPECT_EQ(platform.SendStatusMsg(1), 1);
    const auto atOther = other.received();
    ASSERT_EQ(atOther.size(), 1u);
    EXPECT_EQ(atOther[0].wParam, 201u);
    EXPECT_TRUE(parent.received().empty());
}

TEST_F(CPyth2WinTest, IdleWaitEndsWithNoCommandAtTheTimerTick) {
    CPyth2Win platform;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform.GetACmd(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(CPyth2WinTest, WindowMessagesAreDispatchedWithoutEndingTheWait) {
    CPyth2Win platform;
    std::vector<std::uintptr_t> seen;
    const auto window = compat::CreateMessageWindow([&](compat::WindowHandle, std::uint32_t message, std::uintptr_t wParam,
                                                        std::intptr_t) -> std::intptr_t {
        if (message == compat::WM_USER)
            seen.push_back(wParam);
        return 0;
    });
    ASSERT_NE(window, 0u);
    const auto self = compat::currentThreadId();
    std::thread([&] {
        ASSERT_TRUE(compat::PostMessage(window, compat::WM_USER, PLATFORM_TMSG_QUIT, 0));
        ASSERT_TRUE(compat::PostMessage(window, compat::WM_USER, 5, 0));
        ASSERT_TRUE(compat::PostThreadMessage(self, compat::WM_USER, PLATFORM_TMSG_PAUSE, 0));
    }).join();
    EXPECT_EQ(platform.GetACmd(), static_cast<std::uint32_t>(Pyth2Platform::PAUSEMSG));
    EXPECT_EQ(seen, (std::vector<std::uintptr_t>{PLATFORM_TMSG_QUIT, 5}));
    compat::DestroyWindow(window);
}

TEST_F(CPyth2WinTest, SelfQuitReachesTheConstructingThread) {
    std::unique_ptr<CPyth2Win> platform = std::make_unique<CPyth2Win>();
    std::thread([&] { EXPECT_EQ(platform->SendSelfQuitMsg(), 1); }).join();
    EXPECT_EQ(platform->GetACmd(), static_cast<std::uint32_t>(Pyth2Platform::QUITMSG));
}

TEST_F(CPyth2WinTest, WaitThatCannotHaveAQueueReturnsNoCommandWithoutSpinning) {
    // A runtime folder under a plain file cannot be made: no queue, no timer.
    const auto blocker = m_runtime / "file";
    std::fclose(std::fopen(blocker.c_str(), "w"));
    setenv("XDG_RUNTIME_DIR", blocker.c_str(), 1);
    std::thread([] {
        CPyth2Win platform;
        int calls = 0;
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < 2s) {
            EXPECT_EQ(platform.GetACmd(), 0u);
            ++calls;
        }
        EXPECT_LE(calls, 3);
    }).join();
}

TEST_F(CPyth2WinTest, DestroyedOnAnotherThreadLeavesThatThreadsTimersAlone) {
    auto platform = std::make_unique<CPyth2Win>();  // timer 1 of this thread
    std::thread([&] {
        const unsigned timer = compat::SetTimer(0, 0, 20);
        platform.reset();
        compat::Message message;
        ASSERT_EQ(compat::GetMessage(message), 1);
        EXPECT_EQ(message.message, compat::WM_TIMER);
        EXPECT_EQ(message.wParam, timer);
    }).join();
}

TEST_F(CPyth2WinTest, PriorityActsOnTheCallingThreadOnly) {
    CPyth2Win platform;
    const auto before = compat::currentThreadNice();
    std::thread([&] {
        EXPECT_EQ(platform.SetCurThreadPriority(PYTH_2_PLATFORM_THREAD_PRIORITY_LOW), 1);
        EXPECT_EQ(platform.GetCurThreadPriority(), PYTH_2_PLATFORM_THREAD_PRIORITY_LOW);
        EXPECT_EQ(compat::currentThreadNice(), 19);
        EXPECT_EQ(platform.SetCurThreadPriority(PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW), 1);
        EXPECT_EQ(platform.GetCurThreadPriority(), PYTH_2_PLATFORM_THREAD_PRIORITY_LOW);
        // Leaving the idle level needs privilege: a refusal says 0 and changes
        // nothing.
        const int normal = platform.SetCurThreadPriority(static_cast<Pyth2PlatformThreadPriority>(7));
        EXPECT_EQ(platform.GetCurThreadPriority(),
                  normal ? PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL : PYTH_2_PLATFORM_THREAD_PRIORITY_LOW);
        if (normal && platform.SetCurThreadPriority(PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH)) {
            EXPECT_EQ(platform.GetCurThreadPriority(), PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH);
            EXPECT_LT(*compat::currentThreadNice(), 0);
        }
    }).join();
    EXPECT_EQ(compat::currentThreadNice(), before);
}

TEST_F(CPyth2WinTest, ThreadIdIsTheCallersEachTime) {
    CPyth2Win platform;
    const auto own = platform.GetCurThreadId();
    EXPECT_EQ(own, static_cast<std::uint32_t>(gettid()));
    std::uint32_t other = 0;
    std::thread([&] { other = platform.GetCurThreadId(); }).join();
    EXPECT_NE(other, own);
    EXPECT_NE(other, 0u);
}

TEST_F(CPyth2WinTest, AppDataFolderIsTheConfigurationHome) {
    CPyth2Win platform;
    setenv("XDG_CONFIG_HOME", "/srv/config home", 1);
    EXPECT_EQ(platform.GetAppDataDir(), "/srv/config home");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform.GetAppDataDir(), "/home/someone/.config");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(platform.GetAppDataDir(), "");
}

TEST_F(CPyth2WinTest, MemoryUsageFollowsPrivatePagesAndKeepsItsPeak) {
    CPyth2Win platform;
    const auto [before, peakBefore] = platform.GetMemoryUsage();
    EXPECT_GT(before, 0u);
    EXPECT_GE(peakBefore, before);
    constexpr std::size_t size = 64 << 20;
    auto block = std::make_unique<char[]>(size);
    std::memset(block.get(), 1, size);
    const auto [during, peakDuring] = platform.GetMemoryUsage();
    EXPECT_GE(during, before + size / 2);
    EXPECT_GE(peakDuring, during);
    block.reset();
    EXPECT_GE(platform.GetMemoryUsage().second, before + size / 2);
}

TEST_F(CPyth2WinTest, IdleTimeCountsFromTheNewestInputOnTheUsersTerminals) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        GTEST_SKIP() << "no pseudo-terminal here";
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(write(master, "x\n", 2), 2);
    char typed[2];
    ASSERT_EQ(read(terminal, typed, 2), 2);
    // Terminals stamp their input time in steps of 8 seconds.
    const int idle = CPyth2Win().GetLastInputTime();
    EXPECT_GE(idle, 0);
    EXPECT_LE(idle, 10);
    close(terminal);
    close(master);
}

// Starts a program found in PATH, its output dropped: its process id, 0 when
// it cannot be started.
pid_t spawn(std::vector<const char*> arguments, posix_spawn_file_actions_t& actions) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, arguments[0], &actions, nullptr, const_cast<char**>(arguments.data()), environ) != 0)
        return 0;
    return pid;
}

// Runs a program found in PATH to its end: true when it exits with 0.
bool succeeds(std::vector<const char*> arguments) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const pid_t pid = spawn(std::move(arguments), actions);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An X server of the test's own, on the first free display number, ended
// with the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        const std::string told = std::to_string(ends[1]);
        // Without -noreset the server starts afresh each time the test's last
        // connection closes; a desktop's display always has clients.
        m_pid = spawn({"Xvfb", "-displayfd", told.c_str(), "-nolisten", "tcp", "-noreset", "-screen", "0", "320x240x24"},
                      actions);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        // The server writes its display number once it takes connections.
        std::string number;
        char c = 0;
        pollfd ready{ends[0], POLLIN, 0};
        while (m_pid > 0 && poll(&ready, 1, 30000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ends[0]);
        if (c == '\n' && !number.empty())
            m_name = ":" + number;
    }
    ~VirtualDisplay() {
        if (m_pid > 0 && kill(m_pid, SIGTERM) == 0)
            waitpid(m_pid, nullptr, 0);
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& name() const { return m_name; }

private:
    pid_t m_pid = 0;
    std::string m_name;
};

// The display's idle time grows while nobody touches it and starts again at
// each input; the platform answers with it when it is the smallest.
TEST_F(CPyth2WinTest, IdleTimeIsTheDisplaysWhereOneIsReachable) {
    unsetenv("DISPLAY");
    EXPECT_FALSE(compat::displayIdleTime());
    const VirtualDisplay display;
    if (display.name().empty())
        GTEST_SKIP() << "Xvfb cannot start here";
    setenv("DISPLAY", ":65000", 1);  // no server
    EXPECT_FALSE(compat::displayIdleTime());
    setenv("DISPLAY", display.name().c_str(), 1);
    std::this_thread::sleep_for(2500ms);
    const auto untouched = compat::displayIdleTime();
    ASSERT_TRUE(untouched);
    EXPECT_GE(*untouched, 2500ms);
    ASSERT_TRUE(succeeds({"xdotool", "mousemove", "17", "23"}));
    const auto touched = compat::displayIdleTime();
    ASSERT_TRUE(touched);
    EXPECT_LT(*touched, *untouched);
    EXPECT_LT(CPyth2Win().GetLastInputTime(), 2);
    unsetenv("DISPLAY");
}

}  // namespace

}  // namespace ovix
