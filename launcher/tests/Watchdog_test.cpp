// The watchdog against a real child process, with the memory figure given by
// the test.

#include "launcher/Watchdog.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::readFile;

class WatchdogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::current_path(m_scratch.path());
        m_child = m_application.startChild([] {
            return compat::Process::start(
                compat::ProcessStart{.program = "/bin/sleep", .arguments = {"30"}, .environment = {}});
        });
        ASSERT_TRUE(m_child);
    }
    void TearDown() override {
        m_child->terminate();
        m_child->wait();
    }

    // A watchdog that reads `bytes` for every process.
    Watchdog watchdog(std::optional<std::uint64_t> bytes) {
        return Watchdog(m_ids, m_application, [this, bytes](const compat::Process& process) {
            ++m_reads;
            EXPECT_EQ(process.pid(), m_child->pid());
            return bytes;
        });
    }
    bool ended() { return compat::waitForAny({m_child.get()}, 2s).has_value(); }
    std::string log() { return readFile(m_scratch / "MorvaneLaunch.log"); }

    ovix::testing::ScratchFolder m_scratch;
    AppIds m_ids;
    ApplicationProcess m_application{m_ids};
    std::shared_ptr<compat::Process> m_child;
    int m_reads = 0;
};

TEST_F(WatchdogTest, AnApplicationAtTheLimitIsLeftAloneAndOneByteAboveIsEnded) {
    m_ids.processId = static_cast<std::uint32_t>(m_child->pid());
    watchdog(kMemoryLimit).tick();
    watchdog(std::nullopt).tick();
    EXPECT_EQ(m_reads, 2);
    EXPECT_FALSE(compat::waitForAny({m_child.get()}, 200ms));
    EXPECT_EQ(log(), "");

    watchdog(kMemoryLimit + 1).tick();
    ASSERT_TRUE(ended());
    int pid = 0;
    unsigned long long usage = 0;
    ASSERT_EQ(std::sscanf(log().c_str(), "killed proc %d handle 0x%*x memory usage %llu\n", &pid, &usage), 2) << log();
    EXPECT_EQ(pid, m_child->pid());
    EXPECT_EQ(usage, kMemoryLimit + 1);
}

TEST_F(WatchdogTest, NothingIsCheckedBeforeTheApplicationReportsItsProcess) {
    watchdog(~std::uint64_t{0}).tick();
    EXPECT_EQ(m_reads, 0);
    EXPECT_FALSE(compat::waitForAny({m_child.get()}, 100ms));
    EXPECT_EQ(log(), "");
}

TEST_F(WatchdogTest, AReportedApplicationThatIsGoneIsLogged) {
    m_ids.processId = static_cast<std::uint32_t>(m_child->pid());
    m_application.forgetChild();
    EXPECT_EQ(m_ids.processId, 0u);
    m_ids.processId = 1234;
    watchdog(~std::uint64_t{0}).tick();
    EXPECT_EQ(m_reads, 0);
    EXPECT_EQ(log(), "get process memory info handle error=3, No such process\n");
}

}  // namespace

}  // namespace ovix
