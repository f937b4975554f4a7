// The launcher in this process with a double for the application's local
// server, in both branches: a server that can be created puts the launcher in
// COM mode, one that cannot leaves it starting the application itself.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "launcher/LauncherRegistry.h"
#include "launcher/MorvaneLaunch.h"
#include "launcher/TrayCommands.h"
#include "launcher/TrayLauncherParts.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ovix::testing::eventually;
using ovix::testing::readFile;

struct ServerCalls {
    std::atomic<int> created{0};
    std::atomic<int> quits{0};
    compat::ThreadId mainThread = 0;
};

class ServerDouble : public IAppLocalServer {
public:
    explicit ServerDouble(ServerCalls& calls) : m_calls(calls) {}
    compat::HRESULT Quit() override {
        ++m_calls.quits;
        return compat::S_OK;
    }
    compat::HRESULT GetMainThreadId(std::uint32_t* threadId) override {
        *threadId = m_calls.mainThread;
        return compat::S_OK;
    }

private:
    ServerCalls& m_calls;
};

class ComMode : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"run", "config", "app", "tmp"})
            fs::create_directories(m_scratch / folder);
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        setenv("TMPDIR", (m_scratch / "tmp").c_str(), 1);
        // An application the launcher could start, which records if it is.
        fs::copy_file(OVIX_STANDIN_EXE, m_scratch / "app" / "Morvane.exe");
        setenv("OVIX_STANDIN", ("record=" + (m_scratch / "record").string()).c_str(), 1);
        m_state.launcherPath = m_scratch / "app" / "MorvaneLaunch.exe";
    }

    // Runs the launcher on a thread of its own until it publishes its thread,
    // then posts Exit to it; its exit code.
    int runUntilExit(TrayLauncherParts& parts, const std::function<void()>& whileRunning) {
        auto done = std::async(std::launch::async, [&] { return runMorvaneLaunch("", m_state, parts); });
        EXPECT_TRUE(eventually([&] {
            auto key = openLauncherKey();
            return key && key->queryDword(kThreadIdValue).has_value();
        }));
        whileRunning();
        compat::PostThreadMessage(m_state.mainThreadId, compat::WM_COMMAND, IDM_EXIT, 0);
        EXPECT_EQ(done.wait_for(20s), std::future_status::ready);
        return done.get();
    }

    ovix::testing::ScratchFolder m_scratch;
    LauncherState m_state;
    ServerCalls m_calls;
};

TEST_F(ComMode, AServerThatCanBeCreatedIsAskedForTheThreadAndToQuit) {
    std::promise<compat::ThreadId> id;
    std::atomic<bool> quitPosted{false};
    std::thread application([&] {
        compat::ensureMessageQueue();
        id.set_value(compat::currentThreadId());
        compat::Message message;
        while (compat::GetMessage(message) > 0 && message.wParam != 0xDEAD) {
            if (message.message == compat::WM_USER && message.wParam == PLATFORM_TMSG_QUIT)
                quitPosted = true;
        }
    });
    m_calls.mainThread = id.get_future().get();
    TrayLauncherParts parts([this] {
        ++m_calls.created;
        return std::make_unique<ServerDouble>(m_calls);
    });

    EXPECT_EQ(runUntilExit(
                  parts, [&] { EXPECT_TRUE(eventually([&] { return m_state.app.threadId == m_calls.mainThread; })); }),
              0);
    EXPECT_TRUE(m_state.comMode);
    // Created to decide the mode, to ask for the thread and to quit.
    EXPECT_EQ(m_calls.created, 3);
    EXPECT_EQ(m_calls.quits, 1);
    EXPECT_EQ(readFile(m_scratch / "app" / "MorvaneLaunch.log"), "no process to kill\n");
    EXPECT_FALSE(fs::exists(m_scratch / "record"));
    compat::PostThreadMessage(m_calls.mainThread, compat::WM_USER, 0xDEAD, 0);
    application.join();
    EXPECT_FALSE(quitPosted);
}

TEST_F(ComMode, WithoutAServerTheApplicationIsStarted) {
    EXPECT_EQ(compat::createAppLocalServer(), nullptr);
    TrayLauncherParts parts([this]() -> std::unique_ptr<IAppLocalServer> {
        ++m_calls.created;
        return nullptr;
    });
    EXPECT_EQ(runUntilExit(parts,
                           [&] {
                               EXPECT_TRUE(eventually([&] {
                                   return readFile(m_scratch / "record").find("resume\n") != std::string::npos;
                               }));
                           }),
              0);
    EXPECT_FALSE(m_state.comMode);
    EXPECT_EQ(m_calls.created, 1);
    EXPECT_NE(readFile(m_scratch / "record").find("quit\nexit 0\n"), std::string::npos);
}

}  // namespace

}  // namespace ovix
