#include "platform/host/Pyth2Platform.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/host/CPyth2Win.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::failureOf;

// Shows the percentage that the throttle thread reads.
class ObservedPlatform : public Pyth2Platform {
public:
    int percentage() const { return m_throttlePercentage; }
};

TEST(Pyth2PlatformTest, PlainObjectAnswersWithNeutralDefaults) {
    ObservedPlatform platform;
    EXPECT_EQ(platform.percentage(), 0);
    EXPECT_EQ(platform.GetParentThreadId(), 0u);
    EXPECT_EQ(platform.SendStatusMsg(2), 0);
    EXPECT_EQ(platform.SendThreadMsg(0x12345), 0);
    EXPECT_EQ(platform.SendSelfQuitMsg(), 0);
    EXPECT_EQ(platform.GetACmd(), Pyth2Platform::NOMSG);
    EXPECT_EQ(platform.GetLastInputTime(), 31536000);
    EXPECT_EQ(platform.GetPowerStatus(), PYTH_2_PLATFORM_POWER_STATUS_ERR);
    EXPECT_EQ(platform.GetMemoryUsage(), std::make_pair(0ul, 0ul));
    EXPECT_EQ(platform.GetCurThreadId(), 0u);
    EXPECT_EQ(platform.GetCurThreadPriority(), PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(platform.SetCurThreadPriority(PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH), 0);
    EXPECT_EQ(platform.GetAppDataDir(), "");
    EXPECT_EQ(platform.GetVersionStr(), "0.8.4.trunk.r4395");
    platform.ThreadThrottleRegister(0x7fffffff);  // does nothing, not even refuse
}

TEST(Pyth2PlatformTest, CpuPercentageTakesZeroToHundredAndKeepsItOnRefusal) {
    ObservedPlatform platform;
    platform.ThreadThrottleCpuPerc(100);
    EXPECT_EQ(platform.percentage(), 100);
    platform.ThreadThrottleCpuPerc(0);
    EXPECT_EQ(platform.percentage(), 0);
    platform.ThreadThrottleCpuPerc(30);
    for (int refused : {-1, 101, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(failureOf([&] { platform.ThreadThrottleCpuPerc(refused); }),
                  "cpu perc must be between 0 and 100, inclusive")
            << refused;
        EXPECT_EQ(platform.percentage(), 30);
    }
}

TEST(Pyth2PlatformTest, HostLayerAnswersThroughTheBaseClass) {
    std::unique_ptr<Pyth2Platform> platform = std::make_unique<CPyth2Win>();
    EXPECT_NE(platform->GetCurThreadId(), 0u);
    EXPECT_NE(platform->GetMemoryUsage().first, 0u);
    EXPECT_EQ(platform->GetVersionStr(), "0.8.4.trunk.r4395");
    EXPECT_EQ(failureOf([&] { platform->ThreadThrottleRegister(0x7fffffff); }), "OpenThread failed");
}

}  // namespace

}  // namespace ovix
