#include "platform/host/CPyth2Win.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "base/BlockingWait.h"
#include "compat/ipc/MessageQueue.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/system/DisplayIdle.h"
#include "compat/system/LastInput.h"
#include "compat/system/PowerSupply.h"
#include "compat/system/PrivateMemory.h"
#include "compat/system/ThreadNice.h"
#include "compat/system/XdgFolders.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "platform/history/BrowserHistory.h"

namespace ovix {

namespace {

constexpr std::chrono::milliseconds kTimerPeriod(1000);

// Nice values that stand for the highest and the idle thread priority.
constexpr int kHighestNice = -5;
constexpr int kIdleNice = 19;

// The launcher's main-thread id from the environment: decimal digits that fit
// a thread id, at most 19 of them. Anything else is no id at all (0), rather
// than a cut or wrapped number that would name some other thread.
std::uint32_t parentThreadIdFromEnvironment() {
    const char* text = std::getenv("ParentThreadId");
    if (!text)
        return 0;
    const std::string_view digits(text);
    if (digits.empty() || digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    std::uint32_t id = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return error == std::errc() && end == digits.data() + digits.size() ? id : 0;
}

bool post(std::uint32_t thread, std::uint32_t code, std::intptr_t lParam) {
    return compat::PostThreadMessage(thread, compat::WM_USER, code, lParam);
}

}  // namespace

CPyth2Win::CPyth2Win()
    : m_ownThreadId(compat::currentThreadId()),
      m_parentThreadId(parentThreadIdFromEnvironment()),
      m_timerId(compat::SetTimer(0, 0, static_cast<unsigned>(kTimerPeriod.count()))) {}

CPyth2Win::~CPyth2Win() {
    // A timer belongs to its thread's queue: from another thread the same id
    // would name one of that thread's timers.
    if (m_timerId != 0 && compat::currentThreadId() == m_ownThreadId)
        compat::KillTimer(0, m_timerId);
}

int CPyth2Win::SendStatusMsg(int status) {
    // Unsigned, so that no status overflows.
    return post(statusTarget(), static_cast<std::uint32_t>(status) + PLATFORM_STATUS_BASE, 0) ? 1 : 0;
}

// Thread ids are 32 bits on the wire, in two 16-bit halves.
int CPyth2Win::SendThreadMsg(unsigned long tid) {
    const std::uint32_t target = statusTarget();
    const std::uint32_t process = compat::currentProcessId();
    const bool sent = post(target, PLATFORM_TMSG_TID_LO, static_cast<std::intptr_t>(tid & 0xFFFF)) &&
                      post(target, PLATFORM_TMSG_TID_HI, static_cast<std::intptr_t>((tid >> 16) & 0xFFFF)) &&
                      post(target, PLATFORM_TMSG_PID_LO, process & 0xFFFF) &&
                      post(target, PLATFORM_TMSG_PID_HI, process >> 16);
    return sent ? 1 : 0;
}

int CPyth2Win::SendSelfQuitMsg() {
    return post(m_ownThreadId, PLATFORM_TMSG_QUIT, 0) ? 1 : 0;
}

std::uint32_t CPyth2Win::GetACmd() {
    compat::Message message;
    for (;;) {
        int got;
        {
            const BlockingWait unlocked;
            got = compat::GetMessage(message);
        }
        if (got < 0) {
            // The thread cannot have a queue: wait as long as a tick would
            // have taken, so that the caller's polling loop does not spin.
            const BlockingWait unlocked;
            std::this_thread::sleep_for(kTimerPeriod);
            return NOMSG;
        }
        if (message.window == 0)
            return commandOf(message.message, message.wParam, message.lParam);
        compat::DispatchMessage(message);
    }
}

std::uint32_t CPyth2Win::commandOf(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == compat::WM_QUIT)
        return QUITMSG;
    if (message != compat::WM_USER)
        return NOMSG;
    // Each override message carries one byte; higher bits of the argument
    // would otherwise spill into the other byte or beyond 16 bits.
    const auto byte = static_cast<std::uint32_t>(lParam) & 0xFF;
    switch (wParam) {
    case PLATFORM_TMSG_QUIT:
        return QUITMSG;
    case PLATFORM_TMSG_RESUME:
        return RESUMEMSG;
    case PLATFORM_TMSG_PAUSE:
        return PAUSEMSG;
    case PLATFORM_TMSG_IMMSG:
        return IMMSGINQUEUE + (static_cast<std::uint32_t>(lParam) << 16);
    case PLATFORM_TMSG_TARGET_LO:
        m_targetOverride = (m_targetOverride & 0xFF00) | byte;
        return NOMSG;
    case PLATFORM_TMSG_TARGET_HI:
        m_targetOverride = (m_targetOverride & 0x00FF) | (byte << 8);
        return NOMSG;
    default:
        return NOMSG;
    }
}

// The display's idle time where there is one, the user's terminals' always:
// input to either counts, so the smallest wins.
int CPyth2Win::GetLastInputTime() {
    using std::chrono::seconds;
    std::optional<seconds> idle;
    if (const auto last = compat::lastTerminalInput(compat::terminalFolders(), geteuid()))
        idle = std::chrono::duration_cast<seconds>(std::chrono::system_clock::now() - *last);
    if (const auto display = compat::displayIdleTime())
        idle = std::min(idle.value_or(seconds::max()), std::chrono::duration_cast<seconds>(*display));
    if (!idle)
        return kUnknownIdleSeconds;
    // A clock set back makes the last input lie ahead: no time has passed.
    return static_cast<int>(std::clamp<seconds::rep>(idle->count(), 0, INT_MAX));
}

int CPyth2Win::GetPowerStatus() {
    return powerStatusOf(compat::readPowerSupplies());
}

// A machine that lists no supply at all (a desktop without battery, most
// virtual machines) runs on mains.
int CPyth2Win::powerStatusOf(const compat::PowerSupplyState& supplies) {
    if (!supplies.listed)
        return PYTH_2_PLATFORM_POWER_STATUS_LINE;
    if (supplies.mainsOnline)
        return PYTH_2_PLATFORM_POWER_STATUS_LINE;
    if (supplies.batteryLow)
        return PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW;
    if (supplies.batteryPresent)
        return PYTH_2_PLATFORM_POWER_STATUS_BATTERY;
    return PYTH_2_PLATFORM_POWER_STATUS_ERR;
}

// The private memory is what the launcher's watchdog measures against its
// limit (compat/system/Process.h), the nearest to a count of committed page-file
// pages; the kernel keeps no peak of it, so the peak resident set stands in.
std::pair<unsigned long, unsigned long> CPyth2Win::GetMemoryUsage() {
    const auto memory = compat::ownPrivateMemory();
    if (!memory)
        return {0, 0};
    return {memory->nowBytes, memory->peakBytes};
}

std::uint32_t CPyth2Win::GetCurThreadId() {
    return compat::currentThreadId();
}

int CPyth2Win::GetCurThreadPriority() {
    std::optional<int> nice;
    {
        const BlockingWait unlocked;
        nice = compat::currentThreadNice();
    }
    if (nice == kIdleNice)
        return PYTH_2_PLATFORM_THREAD_PRIORITY_LOW;
    if (nice == kHighestNice)
        return PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH;
    return PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL;
}

int CPyth2Win::SetCurThreadPriority(Pyth2PlatformThreadPriority priority) {
    int nice = 0;
    if (priority == PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH)
        nice = kHighestNice;
    else if (priority == PYTH_2_PLATFORM_THREAD_PRIORITY_LOW || priority == PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW)
        nice = kIdleNice;
    const BlockingWait unlocked;
    return compat::setCurrentThreadNice(nice) ? 1 : 0;
}

std::string CPyth2Win::GetAppDataDir() {
    return compat::configHome().string();
}

void CPyth2Win::GetIEHistory(BrowserVisitSink& sink) {
    bool read;
    {
        const BlockingWait unlocked;
        read = readBrowserHistory(sink);
    }
    // E_FAIL: the one failure there is.
    if (!read)
        throw std::runtime_error("reading IE history failed: 0x80004005\n");
}

}  // namespace ovix
