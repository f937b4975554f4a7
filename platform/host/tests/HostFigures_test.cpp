// The host figures that CPyth2Win reads from the kernel: power supplies,
// private memory and terminal input times.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "compat/system/LastInput.h"
#include "compat/system/PowerSupply.h"
#include "compat/system/PrivateMemory.h"
#include "platform/host/CPyth2Win.h"
#include "testing/ScratchFolder.h"

namespace {

using namespace std::chrono_literals;

class PowerSupplyTest : public ::testing::Test {
protected:
    // A supply folder with one file per attribute, each with its line end.
    void supply(const std::string& name, std::initializer_list<std::pair<const char*, const char*>> attributes) {
        std::filesystem::create_directory(m_root / name);
        for (const auto& [attribute, value] : attributes)
            std::ofstream(m_root / name / attribute) << value << '\n';
    }
    compat::PowerSupplyState read() const { return compat::readPowerSupplies(m_root.path()); }
    ovix::testing::ScratchFolder m_root;
};

TEST_F(PowerSupplyTest, MainsOnlineCounts) {
    supply("AC", {{"type", "Mains"}, {"online", "0"}});
    EXPECT_FALSE(read().mainsOnline);
    supply("ucsi-source-psy-1", {{"type", "USB"}, {"online", "1"}});
    EXPECT_TRUE(read().mainsOnline);
    EXPECT_FALSE(read().batteryPresent);
}

TEST_F(PowerSupplyTest, SystemBatteriesGiveTheirPresenceAndLowLevel) {
    supply("BAT0", {{"type", "Battery"}, {"present", "1"}, {"capacity_level", "Normal"}});
    auto state = read();
    EXPECT_TRUE(state.batteryPresent);
    EXPECT_FALSE(state.batteryLow);
    supply("BAT1", {{"type", "Battery"}, {"capacity_level", "Critical"}});
    EXPECT_TRUE(read().batteryLow);
}

TEST_F(PowerSupplyTest, EmptyBaysAndDeviceBatteriesDoNotCount) {
    supply("BAT0", {{"type", "Battery"}, {"present", "0"}, {"capacity_level", "Low"}});
    supply("hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity_level", "Low"}});
    supply("strange", {{"online", "1"}});
    const auto state = read();
    EXPECT_FALSE(state.batteryPresent);
    EXPECT_FALSE(state.batteryLow);
    EXPECT_FALSE(state.mainsOnline);
    const auto missing = compat::readPowerSupplies(m_root / "missing");
    EXPECT_FALSE(missing.mainsOnline || missing.batteryPresent || missing.batteryLow);
}

TEST_F(PowerSupplyTest, PowerStatusFollowsTheListedSupplies) {
    using namespace ovix;
    const auto status = [&] { return ovix::CPyth2Win::powerStatusOf(read()); };
    // No supply listed: a desktop or a virtual machine, on mains. A device's
    // battery powers no machine.
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_LINE);
    supply("hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity_level", "Low"}});
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_LINE);
    supply("AC", {{"type", "Mains"}, {"online", "0"}});
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_ERR);
    supply("BAT0", {{"type", "Battery"}, {"capacity_level", "Normal"}});
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_BATTERY);
    supply("BAT1", {{"type", "Battery"}, {"capacity_level", "Low"}});
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW);
    supply("ADP1", {{"type", "Mains"}, {"online", "1"}});
    EXPECT_EQ(status(), PYTH_2_PLATFORM_POWER_STATUS_LINE);
}

TEST(PrivateMemoryTest, PrivatePagesAndPeakFromTheStatusText) {
    const auto memory = compat::privateMemoryFromStatus(
        "Name:\tpython3\nVmPeak:\t  900000 kB\nVmHWM:\t    5000 kB\nVmRSS:\t    4000 kB\n"
        "RssAnon:\t    1500 kB\nRssFile:\t    2500 kB\nVmSwap:\t     100 kB\n");
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->nowBytes, 1600u * 1024);
    EXPECT_EQ(memory->peakBytes, 5000u * 1024);
    // Pages that went to swap can lift the private figure above the peak
    // resident set; the peak never reads below it.
    const auto swapped = compat::privateMemoryFromStatus("VmHWM:\t100 kB\nRssAnon:\t80 kB\nVmSwap:\t50 kB\n");
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->peakBytes, 130u * 1024);
}

TEST(PrivateMemoryTest, MissingOrMalformedFiguresGiveNothing) {
    EXPECT_FALSE(compat::privateMemoryFromStatus(""));
    EXPECT_FALSE(compat::privateMemoryFromStatus("VmHWM:\t100 kB\nRssAnon:\t80 kB\n"));
    EXPECT_FALSE(compat::privateMemoryFromStatus("VmHWM:\t100 kB\nRssAnon:\t8x0 kB\nVmSwap:\t0 kB\n"));
    EXPECT_FALSE(compat::privateMemoryFromStatus("VmHWM:\t100 kB\nRssAnonymous:\t80 kB\nVmSwap:\t0 kB\n"));
    EXPECT_TRUE(compat::ownPrivateMemory());
}

class LastInputTest : public ::testing::Test {
protected:
    void touchAt(const std::string& name, std::chrono::seconds accessedAgo) {
        const auto path = m_dev / name;
        std::ofstream{path};
        const timespec times[2] = {{time(nullptr) - accessedAgo.count(), 0}, {0, UTIME_OMIT}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    std::optional<std::chrono::seconds> ago() {
        const auto last = compat::lastTerminalInput({m_dev.path()}, geteuid());
        if (!last)
            return std::nullopt;
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now() - *last);
    }
    ovix::testing::ScratchFolder m_dev;
};

TEST_F(LastInputTest, NewestTerminalAccessWins) {
    EXPECT_FALSE(ago());
    touchAt("tty3", 600s);
    touchAt("7", 120s);
    touchAt("ptmx", 1s);     // not a terminal of its own
    touchAt("console", 1s);  // nor is this name
    const auto idle = ago();
    ASSERT_TRUE(idle);
    EXPECT_GE(*idle, 119s);
    EXPECT_LE(*idle, 125s);
}

TEST_F(LastInputTest, OtherUsersTerminalsAndFoldersDoNotCount) {
    touchAt("tty1", 300s);
    touchAt("tty2", 5s);
    if (chown((m_dev / "tty2").c_str(), geteuid() + 1, static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "cannot give a file to another user here";
    std::filesystem::create_directory(m_dev / "tty9");
    const auto idle = ago();
    ASSERT_TRUE(idle);
    EXPECT_GE(*idle, 299s);
}

}  // namespace
