#include "compat/ipc/MessageQueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "compat/ipc/MessageWindow.h"
#include "compat/system/Waitable.h"
#include "compat/system/XdgFolders.h"

namespace compat {

namespace {

using Clock = std::chrono::steady_clock;

// What crosses between processes: a thread message, never a window.
struct WireMessage {
    std::uint32_t message;
    std::uint32_t reserved;
    std::uint64_t wParam;
    std::int64_t lParam;
};
static_assert(sizeof(WireMessage) == 24);

// As many posted messages as a queue holds before posts fail.
constexpr std::size_t kQueueLimit = 10000;
constexpr unsigned kMinimumPeriodMs = 10;
// How long a post waits at most for room in another process's full queue.
constexpr std::chrono::milliseconds kFullQueuePatience(250);
// How often a wait for another thread's queue looks again.
constexpr std::chrono::milliseconds kQueuePollPeriod(5);

struct Timer {
    WindowHandle window;
    unsigned id;
    Clock::duration period;
    Clock::time_point due;
};

struct ThreadQueue {
    ThreadId owner = 0;
    pid_t ownerProcess = 0;
    int socket = -1;
    int wake = -1;  // eventfd that in-process posts signal
    std::filesystem::path socketPath;

    std::mutex mutex;  // guards posted and closed
    std::deque<Message> posted;
    bool closed = false;

    // Touched only by the owning thread.
    bool quitPending = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    unsigned lastThreadTimerId = 0;

    ~ThreadQueue() {
        if (socket >= 0)
            close(socket);
        if (wake >= 0)
            close(wake);
    }

    bool push(const Message& message) {
        {
            std::lock_guard lock(mutex);
            if (closed) {
                errno = ESRCH;
                return false;
            }
            if (posted.size() >= kQueueLimit) {
                errno = EAGAIN;
                return false;
            }
            posted.push_back(message);
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = write(wake, &one, sizeof one);
        return true;
    }
};

// Never destroyed: threads may post while the process exits.
std::mutex& queuesMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>>& queues() {
    static auto* map = new std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>>;
    return *map;
}

std::shared_ptr<ThreadQueue> queueOfThisProcess(ThreadId thread) {
    std::lock_guard lock(queuesMutex());
    auto found = queues().find(thread);
    return found == queues().end() ? nullptr : found->second;
}

bool socketAddress(ThreadId thread, sockaddr_un& address, socklen_t& length) {
    const std::string path = (runtimeFolder() / std::to_string(thread)).string();
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

// Whether a socket of that name is bound by a live queue: a datagram socket
// connects to it; a name left by a dead queue refuses.
bool queueTakesPosts(ThreadId thread) {
    sockaddr_un address;
    socklen_t length;
    if (!socketAddress(thread, address, length))
        return false;
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), length) == 0;
    close(probe);
    return connected;
}

// Ends a queue on its thread's exit: posts fail from then on, and the socket
// name is freed for a later thread of the same id.
void retire(ThreadQueue& queue) {
    forgetWindowsOfThread(queue.owner);
    {
        std::lock_guard lock(queuesMutex());
        queues().erase(queue.owner);
    }
    std::lock_guard lock(queue.mutex);
    queue.closed = true;
    // A child made by fork inherits the holder but not the name.
    if (queue.ownerProcess == getpid())
        unlink(queue.socketPath.c_str());
    close(queue.socket);
    queue.socket = -1;
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue)
            retire(*queue);
    }
};
thread_local QueueHolder t_holder;

std::shared_ptr<ThreadQueue> makeQueue() {
    if (!ensureRuntimeFolder())
        return nullptr;
    auto queue = std::make_shared<ThreadQueue>();
    queue->owner = currentThreadId();
    queue->ownerProcess = getpid();
    sockaddr_un address;
    socklen_t length;
    if (!socketAddress(queue->owner, address, length))
        return nullptr;
    queue->socketPath = address.sun_path;
    queue->socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (queue->socket < 0)
        return nullptr;
    const int on = 1;
    if (setsockopt(queue->socket, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0)
        return nullptr;
    // A name left by a dead thread of the same id is stale.
    unlink(address.sun_path);
    if (bind(queue->socket, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return nullptr;
    queue->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (queue->wake < 0) {
        unlink(address.sun_path);
        return nullptr;
    }
    std::lock_guard lock(queuesMutex());
    queues()[queue->owner] = queue;
    return queue;
}

ThreadQueue* ownQueue() {
    if (!t_holder.queue)
        t_holder.queue = makeQueue();
    return t_holder.queue.get();
}

int senderSocket() {
    static const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd;
}

bool sendToOtherProcess(ThreadId thread, const Message& message) {
    sockaddr_un address;
    socklen_t length;
    if (!socketAddress(thread, address, length))
        return false;
    const int fd = senderSocket();
    if (fd < 0)
        return false;
    const WireMessage wire{message.message, 0, message.wParam, static_cast<std::int64_t>(message.lParam)};
    // The kernel holds few datagrams for a socket (net.unix.max_dgram_qlen,
    // often 10): a receiver that is busy for a moment gets a little time to
    // take them before the post fails.
    auto pause = std::chrono::milliseconds(1);
    for (auto waited = std::chrono::milliseconds(0);; waited += pause, pause *= 2) {
        const ssize_t sent =
            sendto(fd, &wire, sizeof wire, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), length);
        if (sent == static_cast<ssize_t>(sizeof wire))
            return true;
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent >= 0 || errno != EAGAIN || waited >= kFullQueuePatience)
            return false;
        std::this_thread::sleep_for(pause);
    }
}

// Closes descriptors that a sender passed along; a queue never takes them.
void closePassedDescriptors(cmsghdr* header) {
    const auto bytes = header->cmsg_len - CMSG_LEN(0);
    const auto* fds = reinterpret_cast<const int*>(CMSG_DATA(header));
    for (std::size_t i = 0; i < bytes / sizeof(int); ++i) {
        int fd;
        std::memcpy(&fd, fds + i, sizeof fd);
        close(fd);
    }
}

// Moves every datagram waiting on the socket into the queue, keeping only
// well-formed ones from the queue's own user.
void drainSocket(ThreadQueue& queue) {
    for (;;) {
        WireMessage wire;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(16 * sizeof(int))];
        iovec data{&wire, sizeof wire};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t received = recvmsg(queue.socket, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        const ucred* sender = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level != SOL_SOCKET)
                continue;
            if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred)))
                sender = reinterpret_cast<const ucred*>(CMSG_DATA(c));
            else if (c->cmsg_type == SCM_RIGHTS)
                closePassedDescriptors(c);
        }
        if (received != static_cast<ssize_t>(sizeof wire) || (header.msg_flags & MSG_TRUNC) || !sender)
            continue;
        if (sender->uid != geteuid())
            continue;
        const Message message{0, wire.message, static_cast<std::uintptr_t>(wire.wParam),
                              static_cast<std::intptr_t>(wire.lParam), static_cast<std::uint32_t>(sender->pid)};
        std::lock_guard lock(queue.mutex);
        if (queue.posted.size() < kQueueLimit)
            queue.posted.push_back(message);
    }
}

bool takeNext(ThreadQueue& queue, Message& out, bool remove) {
    std::uint64_t signals;
    [[maybe_unused]] const auto cleared = read(queue.wake, &signals, sizeof signals);
    drainSocket(queue);
    {
        std::lock_guard lock(queue.mutex);
        if (!queue.posted.empty()) {
            out = queue.posted.front();
            if (remove)
                queue.posted.pop_front();
            return true;
        }
    }
    if (queue.quitPending) {
        out = Message{0, WM_QUIT, static_cast<std::uintptr_t>(queue.quitCode), 0, currentProcessId()};
        if (remove)
            queue.quitPending = false;
        return true;
    }
    const auto now = Clock::now();
    for (auto& timer : queue.timers) {
        if (timer.due <= now) {
            out = Message{timer.window, WM_TIMER, timer.id, 0, currentProcessId()};
            if (remove)
                timer.due = now + timer.period;
            return true;
        }
    }
    return false;
}

void waitForActivity(ThreadQueue& queue) {
    int timeoutMs = -1;
    if (!queue.timers.empty()) {
        auto due = std::min_element(queue.timers.begin(), queue.timers.end(), [](const Timer& a, const Timer& b) {
                       return a.due < b.due;
                   })->due;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
        timeoutMs = static_cast<int>(std::max<long long>(0, left));
    }
    pollfd fds[2] = {{queue.socket, POLLIN, 0}, {queue.wake, POLLIN, 0}};
    poll(fds, 2, timeoutMs);
}

}  // namespace

ThreadId currentThreadId() {
    return static_cast<ThreadId>(gettid());
}

ThreadId currentProcessId() {
    return static_cast<ThreadId>(getpid());
}

bool ensureMessageQueue() {
    return ownQueue() != nullptr;
}

bool PostThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (thread == 0) {
        errno = ENOENT;
        return false;
    }
    const Message posted{0, message, wParam, lParam, currentProcessId()};
    if (auto queue = queueOfThisProcess(thread))
        return queue->push(posted);
    return sendToOtherProcess(thread, posted);
}

bool postToThreadOfThisProcess(ThreadId thread, const Message& message) {
    auto queue = queueOfThisProcess(thread);
    if (!queue) {
        errno = ESRCH;
        return false;
    }
    Message own = message;
    own.senderProcess = currentProcessId();
    return queue->push(own);
}

bool waitForThreadQueue(ThreadId thread, const Waitable& owner, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (queueTakesPosts(thread))
            return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        // A queue appears within a few milliseconds of its thread's start;
        // the owner's end cuts the wait short.
        if (waitForAny({&owner}, std::min(left, kQueuePollPeriod)))
            return false;
    }
}

void removeQueueOfDeadThread(ThreadId thread) {
    sockaddr_un address;
    socklen_t length;
    if (socketAddress(thread, address, length) && !queueTakesPosts(thread))
        unlink(address.sun_path);
}

int GetMessage(Message& message) {
    ThreadQueue* queue = ownQueue();
    if (!queue)
        return -1;
    while (!takeNext(*queue, message, true))
        waitForActivity(*queue);
    return message.message == WM_QUIT ? 0 : 1;
}

bool PeekMessage(Message& message, bool remove) {
    ThreadQueue* queue = ownQueue();
    return queue && takeNext(*queue, message, remove);
}

void PostQuitMessage(int exitCode) {
    if (ThreadQueue* queue = ownQueue()) {
        queue->quitPending = true;
        queue->quitCode = exitCode;
    }
}

unsigned SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) {
    ThreadQueue* queue = ownQueue();
    if (!queue)
        return 0;
    if (window != 0 && windowThread(window) != queue->owner) {
        errno = EPERM;
        return 0;
    }
    const auto period = std::chrono::milliseconds(std::max(milliseconds, kMinimumPeriodMs));
    auto& timers = queue->timers;
    auto same = [&](unsigned candidate) {
        return std::find_if(timers.begin(), timers.end(),
                            [&](const Timer& t) { return t.window == window && t.id == candidate; });
    };
    if (window == 0 && (id == 0 || same(id) == timers.end())) {
        do {
            id = ++queue->lastThreadTimerId;
        } while (id == 0 || same(id) != timers.end());
    }
    const Timer timer{window, id, period, Clock::now() + period};
    if (auto existing = same(id); existing != timers.end())
        *existing = timer;
    else
        timers.push_back(timer);
    return window == 0 || id != 0 ? id : 1;
}

bool KillTimer(WindowHandle window, unsigned id) {
    ThreadQueue* queue = t_holder.queue.get();
    if (!queue)
        return false;
    auto& timers = queue->timers;
    auto found =
        std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
    if (found == timers.end())
        return false;
    timers.erase(found);
    return true;
}

void killWindowTimers(WindowHandle window) {
    if (ThreadQueue* queue = t_holder.queue.get())
        std::erase_if(queue->timers, [&](const Timer& t) { return t.window == window; });
}

}  // namespace compat
