// Thread messages, the named mutex and descriptors across real processes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "compat/ipc/MessageQueue.h"
#include "compat/ipc/NamedMutex.h"
#include "compat/store/RegistryKey.h"
#include "compat/system/ExclusiveAppendFile.h"
#include "compat/system/Process.h"
#include "compat/system/XdgFolders.h"
#include "testing/RuntimeFolderTest.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;
using ovix::testing::eventually;
using ovix::testing::readFile;

class CrossProcess : public ovix::testing::RuntimeFolderTest {
protected:
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        ASSERT_TRUE(compat::ensureRuntimeFolder());
    }

    // Runs a shell command line with this process's environment.
    std::optional<compat::Process> shell(const std::string& command, const std::vector<std::string>& prefix = {}) {
        compat::ProcessStart start{
            .program = "/bin/sh", .arguments = {"-c", command}, .environment = compat::currentEnvironment()};
        if (!prefix.empty()) {
            start.program = prefix[0];
            start.arguments.assign(prefix.begin() + 1, prefix.end());
            start.arguments.insert(start.arguments.end(), {"/bin/sh", "-c", command});
        }
        return compat::Process::start(start);
    }

    int run(const std::string& command, const std::vector<std::string>& prefix = {}) {
        auto process = shell(command, prefix);
        if (!process || !process->wait(20s))
            return -1;
        return *process->exitCode();
    }

    // Starts the tool listening; returns its thread id once it is ready.
    compat::ThreadId listen(const std::string& options, const std::filesystem::path& output) {
        m_listener = shell("exec " + std::string(THREADMSG_TOOL) + " listen " + options + " > " + output.string());
        compat::ThreadId thread = 0;
        eventually([&] {
            std::istringstream text(readFile(output));
            std::string word;
            return (text >> word >> thread) && word == "listening";
        });
        return thread;
    }

    std::vector<std::string> lines(const std::filesystem::path& path) {
        std::vector<std::string> result;
        std::istringstream text(readFile(path));
        for (std::string line; std::getline(text, line);)
            result.push_back(line);
        return result;
    }

    // Waits for the next message of this thread, up to `limit`.
    bool receive(compat::Message& message, std::chrono::milliseconds limit) {
        const unsigned timer = compat::SetTimer(0, 0, static_cast<unsigned>(limit.count()));
        compat::GetMessage(message);
        compat::KillTimer(0, timer);
        return !(message.message == compat::WM_TIMER && message.wParam == timer);
    }

    ovix::testing::ScratchFolder m_files;
    std::optional<compat::Process> m_listener;
};

TEST_F(CrossProcess, PostsFromAnotherProcessArriveInOrder) {
    const auto output = m_files / "listen.out";
    const auto thread = listen("--count 300 --seconds 30", output);
    ASSERT_NE(thread, 0u);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(compat::PostThreadMessage(thread, compat::WM_USER, 0xFD00 + i, -i));
    ASSERT_TRUE(m_listener->wait(20s));
    const auto got = lines(output);
    ASSERT_EQ(got.size(), 301u);
    for (int i = 0; i < 300; ++i) {
        char expected[80];
        std::snprintf(expected, sizeof expected, "message=0x400 wparam=0x%x lparam=%d", 0xFD00 + i, -i);
        ASSERT_EQ(got[i + 1], expected);
    }

    // And back: the tool posts to this thread.
    ASSERT_TRUE(compat::ensureMessageQueue());
    ASSERT_EQ(run(std::string(THREADMSG_TOOL) + " post " + std::to_string(compat::currentThreadId()) +
                  " 32773 0x12345678 --message 0x111"),
              0);
    compat::Message message;
    ASSERT_TRUE(receive(message, 5s));
    EXPECT_EQ(message.message, compat::WM_COMMAND);
    EXPECT_EQ(message.wParam, 32773u);
    EXPECT_EQ(message.lParam, 0x12345678);
}

TEST_F(CrossProcess, EachMessageNamesTheProcessThatSentIt) {
    ASSERT_TRUE(compat::ensureMessageQueue());
    const auto self = compat::currentThreadId();
    auto poster = shell("exec " + std::string(THREADMSG_TOOL) + " post " + std::to_string(self) + " 7");
    ASSERT_TRUE(poster && poster->wait(10s));
    std::thread([&] { compat::PostThreadMessage(self, compat::WM_USER, 8, 0); }).join();
    // Messages of different senders may come in either order.
    std::map<std::uintptr_t, std::uint32_t> senders;
    for (int i = 0; i < 2; ++i) {
        compat::Message message;
        ASSERT_TRUE(receive(message, 5s));
        senders[message.wParam] = message.senderProcess;
    }
    EXPECT_EQ(senders[7], static_cast<std::uint32_t>(poster->pid()));
    EXPECT_EQ(senders[8], static_cast<std::uint32_t>(getpid()));
}

TEST_F(CrossProcess, AWaitForAQueueEndsWhenItIsThereOrItsOwnerHasEnded) {
    const auto output = m_files / "listen.out";
    // Its queue comes 0.3 s after its start: the sleep is that lateness.
    auto late = shell("sleep 0.3; exec " + std::string(THREADMSG_TOOL) + " listen --seconds 30 > " + output.string());
    ASSERT_TRUE(late);
    const auto thread = static_cast<compat::ThreadId>(late->pid());
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(compat::waitForThreadQueue(thread, *late, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - began, 250ms);
    EXPECT_TRUE(compat::PostThreadMessage(thread, compat::WM_USER, 1, 0));

    // Killed, it leaves its queue's name; gone before it is reaped, the name
    // is freed.
    const auto name = compat::runtimeFolder() / std::to_string(thread);
    ASSERT_TRUE(late->terminate());
    ASSERT_TRUE(compat::waitForAny({&*late}, 10s));
    EXPECT_TRUE(std::filesystem::exists(name));
    EXPECT_FALSE(compat::waitForThreadQueue(thread, *late, 10s));
    compat::removeQueueOfDeadThread(thread);
    EXPECT_FALSE(std::filesystem::exists(name));
    late->wait();

    // A live queue keeps its name.
    ASSERT_TRUE(compat::ensureMessageQueue());
    compat::removeQueueOfDeadThread(compat::currentThreadId());
    EXPECT_TRUE(std::filesystem::exists(compat::runtimeFolder() / std::to_string(compat::currentThreadId())));
}

TEST_F(CrossProcess, PostsToDeadOrMissingThreadsFail) {
    const auto thread = listen("--seconds 30", m_files / "listen.out");
    ASSERT_NE(thread, 0u);
    EXPECT_TRUE(compat::PostThreadMessage(thread, compat::WM_USER, 1, 0));
    // Killed, it leaves its socket name behind; nobody listens on it.
    ASSERT_TRUE(m_listener->terminate());
    ASSERT_TRUE(m_listener->wait(10s));
    errno = 0;
    EXPECT_FALSE(compat::PostThreadMessage(thread, compat::WM_USER, 2, 0));
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_NE(run(std::string(THREADMSG_TOOL) + " post 4000000000 1"), 0);
    EXPECT_NE(run(std::string(THREADMSG_TOOL) + " post " + std::to_string(thread) + " 1"), 0);
}

// Another user's messages never arrive: the runtime folder keeps it out, and
// when it gets past the folder, the queue drops what it sent.
TEST_F(CrossProcess, MessagesFromAnotherUserAreDropped) {
    const std::vector<std::string> asNobody{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    if (geteuid() != 0 || run("true", asNobody) != 0)
        GTEST_SKIP() << "cannot run a process as another user here (needs root and setpriv)";
    ASSERT_TRUE(compat::ensureMessageQueue());
    const std::string post = std::string(THREADMSG_TOOL) + " post " + std::to_string(compat::currentThreadId());

    EXPECT_EQ(run(post + " 1", asNobody), 1);

    auto pastTheFolder = asNobody;
    pastTheFolder.insert(pastTheFolder.end(), {"--inh-caps=+dac_override", "--ambient-caps=+dac_override"});
    EXPECT_EQ(run(post + " 2", pastTheFolder), 0);
    EXPECT_EQ(run(post + " 3"), 0);

    compat::Message message;
    ASSERT_TRUE(receive(message, 5s));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_FALSE(compat::PeekMessage(message, true));
}

TEST_F(CrossProcess, ATimerFiresAboutOnceASecond) {
    const auto output = m_files / "listen.out";
    // Listening for three seconds: the span measured.
    listen("--timer 1000 --seconds 3", output);
    ASSERT_TRUE(m_listener && m_listener->wait(20s));
    std::vector<long> ticks;
    for (const auto& line : lines(output)) {
        long at;
        if (std::sscanf(line.c_str(), "timer at=%ld", &at) == 1)
            ticks.push_back(at);
    }
    ASSERT_GE(ticks.size(), 2u);
    ASSERT_LE(ticks.size(), 3u);
    long previous = 0;
    for (long at : ticks) {
        EXPECT_NEAR(at - previous, 1000, 300);
        previous = at;
    }
}

TEST_F(CrossProcess, TheNamedMutexIsFreeAgainWhenItsHolderIsKilled) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        compat::NamedMutex mutex("DastelIconSI");
        const char state = mutex.state() == compat::NamedMutex::State::Owned ? 'y' : 'n';
        [[maybe_unused]] auto written = write(ready[1], &state, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    EXPECT_EQ(state, 'y');
    EXPECT_TRUE(compat::NamedMutex::isHeld("DastelIconSI"));
    {
        compat::NamedMutex second("DastelIconSI");
        EXPECT_EQ(second.state(), compat::NamedMutex::State::HeldElsewhere);
    }
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_FALSE(compat::NamedMutex::isHeld("DastelIconSI"));
    compat::NamedMutex next("DastelIconSI");
    EXPECT_EQ(next.state(), compat::NamedMutex::State::Owned);
    EXPECT_TRUE(compat::NamedMutex::isHeld("DastelIconSI"));
    next.release();
    EXPECT_FALSE(compat::NamedMutex::isHeld("DastelIconSI"));
}

TEST_F(CrossProcess, NoDescriptorOfTheLayerLeaksIntoAStartedProcess) {
    const auto allowed = ovix::testing::inheritableDescriptors();
    ASSERT_TRUE(compat::ensureMessageQueue());
    compat::NamedMutex mutex("leak-check");
    ASSERT_EQ(mutex.state(), compat::NamedMutex::State::Owned);
    auto log = compat::ExclusiveAppendFile::open(m_files / "leak.log");
    ASSERT_TRUE(log);
    ASSERT_TRUE(compat::PostThreadMessage(compat::currentThreadId(), compat::WM_USER, 1, 0));
    auto sleeper = shell("exec sleep 30");
    ASSERT_TRUE(sleeper);

    const auto listing = m_files / "fds";
    ASSERT_EQ(run("ls -l /proc/self/fd > " + listing.string()), 0);
    sleeper->terminate();
    int checked = 0;
    for (const auto& stray : ovix::testing::strayDescriptors(ovix::testing::readFile(listing), allowed, checked))
        ADD_FAILURE() << "inherited descriptor " << stray;
    EXPECT_GE(checked, 4);
}

}  // namespace
