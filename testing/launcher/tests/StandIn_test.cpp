// The stand-in main application against a test that plays the launcher's
// main thread.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "compat/ipc/MessageQueue.h"
#include "compat/system/Process.h"
#include "launcher/ThreadMessageDecoder.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::eventually;
using ovix::testing::readFile;

class StandIn : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_scratch / "run");
        setenv("XDG_RUNTIME_DIR", (m_scratch / "run").c_str(), 1);
        ASSERT_TRUE(compat::ensureMessageQueue());
    }

    compat::Process start(const std::string& switches, bool withParent = true) {
        auto environment = compat::currentEnvironment();
        environment.push_back("OVIX_STANDIN=record=" + record().string() + (switches.empty() ? "" : ",") + switches);
        if (withParent)
            environment.push_back("ParentThreadId=" + std::to_string(compat::currentThreadId()));
        auto process = compat::Process::start(compat::ProcessStart{
            .program = OVIX_STANDIN_EXE, .arguments = {"-c", "http://config"}, .environment = environment});
        EXPECT_TRUE(process);
        return std::move(*process);
    }

    // Decodes what arrives within `limit` as the launcher's main thread does;
    // gives the status reports.
    std::vector<std::uintptr_t> receive(std::chrono::milliseconds limit, std::size_t reports = 1) {
        std::vector<std::uintptr_t> statuses;
        const unsigned timer = compat::SetTimer(0, 0, static_cast<unsigned>(limit.count()));
        compat::Message message;
        while (statuses.size() < reports && compat::GetMessage(message) > 0) {
            if (message.message == compat::WM_TIMER && message.wParam == timer)
                break;
            const Relay relay = decodeMainThreadMessage(message, m_ids, [](std::uint32_t) { return true; });
            if (relay.to == Relay::To::MainWindow)
                statuses.push_back(relay.wParam);
        }
        compat::KillTimer(0, timer);
        return statuses;
    }

    std::filesystem::path record() const { return m_scratch / "record"; }

    ovix::testing::ScratchFolder m_scratch;
    AppIds m_ids;
};

TEST_F(StandIn, ReportsItsIdsAndStatusAndObeysTheLauncher) {
    auto app = start("status=2");
    EXPECT_EQ(receive(10s), std::vector<std::uintptr_t>{202});
    EXPECT_EQ(m_ids.processId, static_cast<std::uint32_t>(app.pid()));
    EXPECT_EQ(m_ids.threadId, static_cast<std::uint32_t>(app.pid()));
    for (auto code : {PLATFORM_TMSG_RESUME, PLATFORM_TMSG_PAUSE, PLATFORM_TMSG_QUIT})
        ASSERT_TRUE(compat::PostThreadMessage(m_ids.threadId, compat::WM_USER, code, 0));
    ASSERT_TRUE(app.wait(10s));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(readFile(record()), "args -c http://config\nstarted pid=" + std::to_string(app.pid()) +
                                      " parent=- thread=" + std::to_string(compat::currentThreadId()) +
                                      " folder=" + std::filesystem::current_path().string() +
                                      "\nreported\nresume\npause\nquit\nexit 0\n");
}

TEST_F(StandIn, MisbehavesOnRequest) {
    // Told to quit, it goes on to the next message.
    auto stubborn = start("ignore-quit");
    ASSERT_EQ(receive(10s).size(), 1u);
    ASSERT_TRUE(compat::PostThreadMessage(m_ids.threadId, compat::WM_USER, PLATFORM_TMSG_QUIT, 0));
    ASSERT_TRUE(compat::PostThreadMessage(m_ids.threadId, compat::WM_USER, PLATFORM_TMSG_PAUSE, 0));
    EXPECT_TRUE(eventually([&] { return readFile(record()).ends_with("quit\npause\n"); }));
    EXPECT_FALSE(stubborn.wait(0ms));
    stubborn.terminate();
    ASSERT_TRUE(stubborn.wait(10s));

    // What a stand-in posts is queued here before it ends.
    compat::Message message;
    auto silent = start("never-report,exit-after=100");
    ASSERT_TRUE(silent.wait(10s));
    EXPECT_EQ(silent.exitCode(), 3);
    EXPECT_FALSE(compat::PeekMessage(message, false));

    auto early = start("exit-after=0");
    ASSERT_TRUE(early.wait(10s));
    EXPECT_EQ(early.exitCode(), 3);
    EXPECT_FALSE(compat::PeekMessage(message, false));
}

TEST_F(StandIn, WithoutAParentItsReportsFail) {
    auto orphan = start("exit-after=100", false);
    ASSERT_TRUE(orphan.wait(10s));
    EXPECT_NE(readFile(record()).find("report failed\n"), std::string::npos);
}

long residentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

TEST_F(StandIn, GrowsItsMemoryAtEveryTick) {
    auto app = start("grow=16000000");
    ASSERT_EQ(receive(10s).size(), 1u);
    const long before = residentKilobytes(app.pid());
    EXPECT_TRUE(eventually([&] { return residentKilobytes(app.pid()) > before + 30000; }, 5s));
    app.terminate();
    app.wait(10s);
}

}  // namespace

}  // namespace ovix
