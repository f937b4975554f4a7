#include "compat/system/ThreadSuspension.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "compat/system/Futex.h"

namespace compat {

// The state of one thread id. A parked handler reads it, so it is never
// freed: a thread id that is reused finds the same record with count 0.
struct SuspendableThread::Record {
    explicit Record(pid_t thread) : tid(thread) {}

    const pid_t tid;
    FutexWord count{0};   // suspend count; the thread stays parked while > 0
    FutexWord parked{0};  // 1 while the thread sits in the handler, stopped
};

namespace {

using Record = SuspendableThread::Record;

constexpr auto ackTimeout = std::chrono::milliseconds(100);

std::atomic<std::uint64_t> g_stops{0};

// Runs on the thread to stop: it stays here while its count is positive.
void onSuspendSignal(int, siginfo_t* info, void*) {
    const int savedErrno = errno;
    auto* record = static_cast<Record*>(info->si_value.sival_ptr);
    // Only our own requests carry a record; anything else is ignored.
    if (info->si_code == SI_QUEUE && info->si_pid == getpid() && record && record->tid == gettid()) {
        bool counted = false;
        for (std::uint32_t count = record->count.load(); count > 0; count = record->count.load()) {
            if (!counted) {
                g_stops.fetch_add(1);
                counted = true;
            }
            record->parked.store(1);
            futexWakeAll(record->parked);
            futexWait(record->count, count, nullptr);
        }
        record->parked.store(0);
    }
    errno = savedErrno;
}

// The highest real-time signal with the default disposition, now owned by
// the suspend handler; 0 when every one is taken.
int installHandler() {
    for (int signal = SIGRTMAX; signal >= SIGRTMIN; --signal) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction action {};
        action.sa_sigaction = onSuspendSignal;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (sigaction(signal, &action, nullptr) == 0)
            return signal;
    }
    return 0;
}

int suspendSignal() {
    static const int signal = installHandler();
    return signal;
}

bool threadExists(pid_t tid) {
    return tgkill(getpid(), tid, 0) == 0 || errno != ESRCH;
}

bool sendSuspendRequest(Record& record) {
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    info.si_signo = suspendSignal();
    info.si_code = SI_QUEUE;
    info.si_pid = getpid();
    info.si_uid = getuid();
    info.si_value.sival_ptr = &record;
    return syscall(SYS_rt_tgsigqueueinfo, getpid(), record.tid, info.si_signo, &info) == 0;
}

// Waits until the thread sits in the handler, or its count is back to 0.
// False on time-out.
bool awaitParked(const Record& record) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + ackTimeout;
    while (record.parked.load() == 0 && record.count.load() > 0) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        const timespec timeout{0, static_cast<long>(std::chrono::nanoseconds(left).count())};
        futexWait(record.parked, 0, &timeout);
    }
    return true;
}

}  // namespace

std::optional<SuspendableThread> SuspendableThread::open(pid_t tid) {
    if (tid <= 0) {
        errno = EINVAL;
        return std::nullopt;
    }
    if (tgkill(getpid(), tid, 0) != 0)
        return std::nullopt;
    if (suspendSignal() == 0) {
        errno = EAGAIN;
        return std::nullopt;
    }
    static std::mutex lock;
    static std::unordered_map<pid_t, std::unique_ptr<Record>> records;
    std::lock_guard guard(lock);
    auto& record = records[tid];
    if (!record)
        record = std::make_unique<Record>(tid);
    return SuspendableThread(record.get());
}

pid_t SuspendableThread::id() const {
    return m_record->tid;
}

int SuspendableThread::suspend() const {
    Record& record = *m_record;
    if (!threadExists(record.tid))
        return -1;
    const auto previous = record.count.fetch_add(1);
    if (previous == 0 && !sendSuspendRequest(record)) {
        record.count.fetch_sub(1);
        return -1;
    }
    // A thread that suspends itself has been parked and resumed already. A
    // thread that was ending when the request went out never parks.
    if (record.tid != gettid() && !awaitParked(record) && !threadExists(record.tid)) {
        record.count.fetch_sub(1);
        return -1;
    }
    return static_cast<int>(previous);
}

int SuspendableThread::resume() const {
    Record& record = *m_record;
    // Asked before the wake: a resumed thread may end at once.
    const bool exists = threadExists(record.tid);
    std::uint32_t previous = record.count.load();
    while (previous > 0 && !record.count.compare_exchange_weak(previous, previous - 1)) {
    }
    if (previous == 1)
        futexWakeAll(record.count);
    // The count is kept right even for a thread that has ended.
    return exists ? static_cast<int>(previous) : -1;
}

std::uint64_t suspensionCount() {
    return g_stops.load();
}

}  // namespace compat
