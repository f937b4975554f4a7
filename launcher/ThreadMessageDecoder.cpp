#include "launcher/ThreadMessageDecoder.h"

#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

namespace {

bool isIdHalf(std::uintptr_t code) {
    return code == PLATFORM_TMSG_TID_LO || code == PLATFORM_TMSG_TID_HI || code == PLATFORM_TMSG_PID_LO ||
           code == PLATFORM_TMSG_PID_HI;
}

}  // namespace

Relay decodeMainThreadMessage(const compat::Message& message, AppIds& ids, const ApplicationSender& isApplication) {
    const auto low16 = static_cast<std::uint32_t>(message.lParam) & 0xFFFF;
    if (isIdHalf(message.wParam) && !isApplication(message.senderProcess))
        return {};
    switch (message.wParam) {
        case PLATFORM_TMSG_TID_LO:
            ids.threadId = (ids.threadId & 0xFFFF0000u) | static_cast<std::uint32_t>(message.lParam);
            return {};
        case PLATFORM_TMSG_TID_HI:
            ids.threadId = (ids.threadId & 0x0000FFFFu) | static_cast<std::uint32_t>(message.lParam) << 16;
            return {};
        case PLATFORM_TMSG_PID_LO:
            ids.pendingProcessLow = (ids.pendingProcessLow & 0xFFFF0000u) | low16;
            return {};
        case PLATFORM_TMSG_PID_HI:
            ids.processId = static_cast<std::uint32_t>(message.lParam) << 16 | (ids.pendingProcessLow & 0xFFFF);
            return {};
        case PLATFORM_TMSG_QUIT:
            return {Relay::To::Application, compat::WM_USER, PLATFORM_TMSG_QUIT, 0};
        default:
            return {Relay::To::MainWindow, compat::WM_COMMAND, message.wParam, message.lParam};
    }
}

Relay decodeMonitorThreadMessage(const compat::Message& message) {
    if (message.message == compat::WM_TIMER)
        return {Relay::To::Watchdog, message.message, message.wParam, message.lParam};
    if (message.message == compat::WM_USER) {
        if (message.wParam < 100)
            return {Relay::To::MainWindow, compat::WM_COMMAND, message.wParam + PLATFORM_STATUS_BASE, 0};
        return {};
    }
    return {Relay::To::MainWindow, message.message, message.wParam, message.lParam};
}

}  // namespace ovix
