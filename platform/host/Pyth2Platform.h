#pragma once
// The main application's view of its host: the thread-message protocol with
// the launcher, idle time, power, memory, thread priority, folders and the
// worker-thread throttle. This class answers every query with a neutral
// default, so the application runs where no real host layer exists; CPyth2Win
// is the real one. Every operation but ThreadThrottleCpuPerc is virtual.

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

namespace ovix {

inline constexpr int PYTH_2_PLATFORM_POWER_STATUS_ERR = 0;          // not available
inline constexpr int PYTH_2_PLATFORM_POWER_STATUS_LINE = 1;         // on mains power
inline constexpr int PYTH_2_PLATFORM_POWER_STATUS_BATTERY = 2;      // on battery
inline constexpr int PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW = 3;  // on battery, low or critical

enum Pyth2PlatformThreadPriority {
    PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH = 0,
    PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL = 1,
    PYTH_2_PLATFORM_THREAD_PRIORITY_LOW = 2,       // idle
    PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW = 3,  // idle, as LOW
};

class Pyth2Platform {
public:
    // Commands that GetACmd returns. IMMSGINQUEUE carries the chat bridge's
    // argument in its high 16 bits.
    enum Command : std::uint32_t {
        NOMSG = 0,
        QUITMSG = 1,
        PAUSEMSG = 2,
        RESUMEMSG = 3,
        IMMSGINQUEUE = 4,
    };

    // Seconds idle reported when the last input cannot be known: 365 days.
    static constexpr int kUnknownIdleSeconds = 31536000;

    Pyth2Platform() = default;
    virtual ~Pyth2Platform() = default;
    Pyth2Platform(const Pyth2Platform&) = delete;
    Pyth2Platform& operator=(const Pyth2Platform&) = delete;

    // The launcher's main-thread id given at start.
    virtual std::uint32_t GetParentThreadId() { return 0; }
    // Reports a status (0 online, 1 offline, 2 new messages); 1 when sent.
    virtual int SendStatusMsg(int /*status*/) { return 0; }
    // Reports the command thread `tid` and this process; 1 when sent.
    virtual int SendThreadMsg(unsigned long /*tid*/) { return 0; }
    // Asks the own command loop to quit; 1 when sent.
    virtual int SendSelfQuitMsg() { return 0; }
    // Waits for the next command of the calling thread (Command).
    virtual std::uint32_t GetACmd() { return NOMSG; }
    // Seconds since the user's last input.
    virtual int GetLastInputTime() { return kUnknownIdleSeconds; }
    // One of PYTH_2_PLATFORM_POWER_STATUS_*.
    virtual int GetPowerStatus() { return PYTH_2_PLATFORM_POWER_STATUS_ERR; }
    // This process's private memory in bytes, now and at its peak.
    virtual std::pair<unsigned long, unsigned long> GetMemoryUsage() { return {0, 0}; }
    virtual std::uint32_t GetCurThreadId() { return 0; }
    // One of Pyth2PlatformThreadPriority, for the calling thread.
    virtual int GetCurThreadPriority() { return PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL; }
    // Non-zero when the calling thread's priority was set.
    virtual int SetCurThreadPriority(Pyth2PlatformThreadPriority /*priority*/) { return 0; }
    // The user's folder for application data; empty when unknown.
    virtual std::string GetAppDataDir() { return {}; }
    // Worker threads held to the throttle percentage (0: the calling thread).
    virtual void ThreadThrottleRegister(unsigned long /*tid*/) {}
    virtual void ThreadThrottleDeregister(unsigned long /*tid*/) {}
    virtual void ThreadThrottleStart() {}
    virtual void ThreadThrottleStop() {}
    virtual std::string GetVersionStr() { return "0.8.4.trunk.r4395"; }

    // Sets the share of processor time, in percent, that throttled threads
    // get; 0 and 100 mean no throttling. Throws outside 0..100, keeping the
    // old value.
    void ThreadThrottleCpuPerc(int percentage);

protected:
    // Read by the throttle thread once per cycle, written from Python.
    std::atomic<int> m_throttlePercentage{0};
};

}  // namespace ovix
