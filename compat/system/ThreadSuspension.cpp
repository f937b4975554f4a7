#include "compat/system/ThreadSuspension.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "base/UniqueFd.h"
#include "compat/system/Futex.h"

namespace compat {

// The state of one thread id. A parked handler reads it, so it is never
// freed; open() sets it afresh for each thread that gets the id.
struct SuspendableThread::Record {
    explicit Record(pid_t thread) : tid(thread) {}

    const pid_t tid;
    std::atomic<std::uint64_t> startTime{0};  // of the thread it is set for
    FutexWord count{0};      // suspend count; the thread stays parked while > 0
    FutexWord parked{0};     // 1 while the thread sits in the handler, stopped
    FutexWord requested{0};  // 1 while a request is on its way, not yet taken
};

namespace {

using Record = SuspendableThread::Record;

std::atomic<std::uint64_t> g_stops{0};

// Runs on the thread to stop: it stays here while its count is positive.
void onSuspendSignal(int, siginfo_t* info, void*) {
    const int savedErrno = errno;
    auto* record = static_cast<Record*>(info->si_value.sival_ptr);
    // Only our own requests carry a record; anything else is ignored.
    if (info->si_code == SI_QUEUE && info->si_pid == getpid() && record && record->tid == gettid()) {
        record->requested.store(0);
        bool counted = false;
        for (std::uint32_t count = record->count.load(); count > 0; count = record->count.load()) {
            if (!counted) {
                g_stops.fetch_add(1);
                counted = true;
            }
            record->parked.store(1);
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

// What /proc says of a thread id of this process. Read with plain system
// calls into the stack: no lock, no allocation.
struct Task {
    enum Kind { living, gone, unknown } kind;
    std::uint64_t startTime = 0;  // of the living thread, in clock ticks since boot
};

Task taskOf(pid_t tid) {
    char path[48] = "/proc/self/task/";
    char* end = std::to_chars(path + 16, path + sizeof path - 6, tid).ptr;
    std::memcpy(end, "/stat", 6);
    const ovix::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd)
        return {errno == ENOENT || errno == ESRCH ? Task::gone : Task::unknown};
    char text[1024];
    const ssize_t length = read(fd.get(), text, sizeof text);
    if (length <= 0)
        return {length < 0 && errno == ESRCH ? Task::gone : Task::unknown};
    // After the command name, which ends at the last ')': the state (field
    // 3), then the start time 19 fields on (field 22).
    std::string_view fields(text, static_cast<std::size_t>(length));
    const auto nameEnd = fields.rfind(')');
    if (nameEnd == std::string_view::npos)
        return {Task::unknown};
    fields.remove_prefix(nameEnd + 1);
    std::string_view field;
    for (int index = 0; index <= 19; ++index) {
        fields.remove_prefix(std::min(fields.find_first_not_of(' '), fields.size()));
        field = fields.substr(0, fields.find(' '));
        fields.remove_prefix(field.size());
        if (index == 0 && (field == "Z" || field == "X"))
            return {Task::gone};
    }
    Task task{Task::living};
    const auto parsed = std::from_chars(field.data(), field.data() + field.size(), task.startTime);
    if (parsed.ec != std::errc() || field.empty())
        return {Task::unknown};
    return task;
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

}  // namespace

std::optional<SuspendableThread> SuspendableThread::open(pid_t tid) {
    if (tid <= 0) {
        errno = EINVAL;
        return std::nullopt;
    }
    const Task task = taskOf(tid);
    if (task.kind != Task::living) {
        if (task.kind == Task::gone)
            errno = ESRCH;
        return std::nullopt;
    }
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
    // Another start time: the thread the record was set for has ended, and
    // took its requests along.
    if (record->startTime.load() != task.startTime) {
        record->count.store(0);
        record->parked.store(0);
        record->requested.store(0);
        record->startTime.store(task.startTime);
    }
    return SuspendableThread(record.get(), task.startTime);
}

pid_t SuspendableThread::id() const {
    return m_record->tid;
}

bool SuspendableThread::alive() const {
    const Task task = taskOf(m_record->tid);
    return task.kind == Task::living && task.startTime == m_startTime;
}

bool SuspendableThread::stopped() const {
    return m_record->parked.load() != 0 && m_record->startTime.load() == m_startTime && alive();
}

int SuspendableThread::suspend() const {
    Record& record = *m_record;
    if (!alive()) {
        errno = ESRCH;
        return -1;
    }
    if (record.tid == gettid()) {
        errno = EDEADLK;
        return -1;
    }
    const auto previous = record.count.fetch_add(1);
    // A request that the thread has not taken yet stops it when it does.
    if (previous == 0 && record.requested.exchange(1) == 0 && !sendSuspendRequest(record)) {
        record.requested.store(0);
        record.count.fetch_sub(1);
        errno = EAGAIN;
        return -1;
    }
    return static_cast<int>(previous);
}

// Held back only when the thread is known to have ended: a thread that /proc
// cannot tell about may be one that waits for this resume.
int SuspendableThread::resume() const {
    Record& record = *m_record;
    const Task task = taskOf(record.tid);
    if (task.kind == Task::gone || (task.kind == Task::living && task.startTime != m_startTime))
        return -1;
    std::uint32_t previous = record.count.load();
    while (previous > 0 && !record.count.compare_exchange_weak(previous, previous - 1)) {
    }
    if (previous == 1)
        futexWakeAll(record.count);
    return static_cast<int>(previous);
}

std::uint64_t suspensionCount() {
    return g_stops.load();
}

}  // namespace compat
