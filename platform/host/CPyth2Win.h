#pragma once
// The host layer of this machine: the main application's side of the thread
// protocol with the launcher, the system's idle, power, memory, priority and
// folder figures, and the user's browser history.
//
// Made once by the application's command thread, which then calls GetACmd in
// its loop: that thread owns the object's one-second timer and receives the
// launcher's and the chat bridge's messages. The other operations may be
// called from any thread; the priority ones act on the calling thread.

#include <atomic>
#include <cstdint>

#include "compat/system/PowerSupply.h"
#include "platform/history/BrowserVisitSink.h"
#include "platform/host/Pyth2Platform.h"
#include "platform/host/ThreadThrottle.h"

namespace ovix {

class CPyth2Win : public Pyth2Platform {
public:
    // Reads "ParentThreadId" from the environment and starts the timer.
    CPyth2Win();
    // Stops the timer when destroyed on its own thread, then the throttle.
    ~CPyth2Win() override;

    std::uint32_t GetParentThreadId() override { return m_parentThreadId; }
    int SendStatusMsg(int status) override;
    int SendThreadMsg(unsigned long tid) override;
    int SendSelfQuitMsg() override;
    // Dispatches window messages of the calling thread and returns the first
    // thread message as a command; NOMSG at the latest after the timer's next
    // tick. The host's interpreter lock is released while it waits.
    std::uint32_t GetACmd() override;
    int GetLastInputTime() override;
    int GetPowerStatus() override;
    std::pair<unsigned long, unsigned long> GetMemoryUsage() override;
    std::uint32_t GetCurThreadId() override;
    int GetCurThreadPriority() override;
    int SetCurThreadPriority(Pyth2PlatformThreadPriority priority) override;
    std::string GetAppDataDir() override;
    // What GetPowerStatus answers for these supplies.
    static int powerStatusOf(const compat::PowerSupplyState& supplies);
    // Held to ThreadThrottleCpuPerc's share; see ThreadThrottle.
    void ThreadThrottleRegister(unsigned long tid) override { m_throttle.registerThread(tid); }
    void ThreadThrottleDeregister(unsigned long tid) override { m_throttle.deregisterThread(tid); }
    void ThreadThrottleStart() override { m_throttle.start(); }
    void ThreadThrottleStop() override { m_throttle.stop(); }
    // Hands the user's browser history (BrowserHistory.h) to `sink`, read
    // with the host's interpreter lock released. Throws "reading IE history
    // failed: 0x80004005\n" when history stores were found and none could be
    // read.
    void GetIEHistory(BrowserVisitSink& sink);

    // The thread that receives status reports: the override when set, else
    // the parent thread.
    std::uint32_t statusTarget() const {
        const std::uint32_t override = m_targetOverride;
        return override != 0 ? override : m_parentThreadId;
    }

private:
    // The command a thread message stands for; sets the target override.
    std::uint32_t commandOf(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    const std::uint32_t m_ownThreadId;
    const std::uint32_t m_parentThreadId;
    // 16 bits, set byte by byte by thread messages on the command thread and
    // read by senders on any thread.
    std::atomic<std::uint32_t> m_targetOverride{0};
    unsigned m_timerId = 0;
    // Destroyed after the timer is killed: stops its thread and resumes
    // every thread still registered.
    ThreadThrottle m_throttle{m_throttlePercentage};
};

}  // namespace ovix
