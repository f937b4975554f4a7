#include "launcher/ThreadMessageDecoder.h"

#include <gtest/gtest.h>

#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

namespace {

constexpr std::uint32_t kApplication = 4242;
constexpr std::uint32_t kStranger = 777;

compat::Message thread(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::uint32_t sender = kApplication) {
    return compat::Message{0, message, wParam, lParam, sender};
}

Relay decodeMainThreadMessage(const compat::Message& message, AppIds& ids) {
    return ovix::decodeMainThreadMessage(message, ids, [](std::uint32_t sender) { return sender == kApplication; });
}

TEST(MainThreadDecoder, IdHalvesUpdateTheApplicationIdsWhateverTheMessageNumber) {
    AppIds ids;
    ids.threadId = 0xAAAABBBB;
    EXPECT_EQ(decodeMainThreadMessage(thread(compat::WM_APP + 5, PLATFORM_TMSG_TID_LO, 0x2345), ids).to,
              Relay::To::Nowhere);
    EXPECT_EQ(ids.threadId, 0xAAAA2345u);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_TID_HI, 0x0001), ids);
    EXPECT_EQ(ids.threadId, 0x00012345u);

    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_LO, 0x5678), ids);
    EXPECT_EQ(ids.processId, 0u);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_HI, 0x0003), ids);
    EXPECT_EQ(ids.processId, 0x00035678u);

    // The high half alone takes whatever low half is pending.
    AppIds fresh;
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_HI, 0x0002), fresh);
    EXPECT_EQ(fresh.processId, 0x00020000u);
    // The pending low half keeps its upper bits and takes only 16 bits.
    fresh.pendingProcessLow = 0xFFFF0000;
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_LO, 0x12345), fresh);
    EXPECT_EQ(fresh.pendingProcessLow, 0xFFFF2345u);
}

TEST(MainThreadDecoder, IdHalvesFromAnyOtherProcessAreDropped) {
    AppIds ids;
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_TID_LO, 0x1111), ids);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_TID_LO, 0x9999, kStranger), ids);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_TID_HI, 0x0002), ids);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_TID_HI, 0x0009, kStranger), ids);
    // Interleaved with a stranger's halves, the application's still pair up.
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_LO, 0x3333), ids);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_LO, 0x8888, kStranger), ids);
    decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_HI, 0x0004), ids);
    EXPECT_EQ(decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_PID_HI, 0x0008, kStranger), ids).to,
              Relay::To::Nowhere);
    EXPECT_EQ(ids.threadId, 0x00021111u);
    EXPECT_EQ(ids.processId, 0x00043333u);
    // Everything else is taken from anyone.
    EXPECT_EQ(decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_STATUS_BASE, 0, kStranger), ids).to,
              Relay::To::MainWindow);
}

TEST(MainThreadDecoder, QuitGoesOnToTheApplicationAndTheRestToTheMainWindow) {
    AppIds ids;
    auto relay = decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_TMSG_QUIT, 99), ids);
    EXPECT_EQ(relay.to, Relay::To::Application);
    EXPECT_EQ(relay.message, compat::WM_USER);
    EXPECT_EQ(relay.wParam, PLATFORM_TMSG_QUIT);
    EXPECT_EQ(relay.lParam, 0);

    // A second launcher's /quit arrives as WM_COMMAND with Exit.
    relay = decodeMainThreadMessage(thread(compat::WM_COMMAND, IDM_EXIT, 0), ids);
    EXPECT_EQ(relay.to, Relay::To::MainWindow);
    EXPECT_EQ(relay.message, compat::WM_COMMAND);
    EXPECT_EQ(relay.wParam, IDM_EXIT);

    relay = decodeMainThreadMessage(thread(compat::WM_USER, PLATFORM_STATUS_BASE + 1, 7), ids);
    EXPECT_EQ(relay.to, Relay::To::MainWindow);
    EXPECT_EQ(relay.wParam, 201u);
    EXPECT_EQ(relay.lParam, 7);
    EXPECT_EQ(ids.threadId, 0u);
    EXPECT_EQ(ids.processId, 0u);
}

TEST(MonitorThreadDecoder, StatusCodesBecomeCommandsAndTimerTicksRunTheWatchdog) {
    auto relay = decodeMonitorThreadMessage(thread(compat::WM_USER, 2, 55));
    EXPECT_EQ(relay.to, Relay::To::MainWindow);
    EXPECT_EQ(relay.message, compat::WM_COMMAND);
    EXPECT_EQ(relay.wParam, 202u);
    EXPECT_EQ(relay.lParam, 0);
    EXPECT_EQ(decodeMonitorThreadMessage(thread(compat::WM_USER, 99, 0)).wParam, 299u);
    EXPECT_EQ(decodeMonitorThreadMessage(thread(compat::WM_USER, 100, 0)).to, Relay::To::Nowhere);
    EXPECT_EQ(decodeMonitorThreadMessage(thread(compat::WM_TIMER, 1, 0)).to, Relay::To::Watchdog);

    relay = decodeMonitorThreadMessage(thread(compat::WM_COMMAND, IDM_PAUSE, 3));
    EXPECT_EQ(relay.to, Relay::To::MainWindow);
    EXPECT_EQ(relay.message, compat::WM_COMMAND);
    EXPECT_EQ(relay.wParam, IDM_PAUSE);
    EXPECT_EQ(relay.lParam, 3);
}

}  // namespace

}  // namespace ovix
