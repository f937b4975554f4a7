#include "compat/browser/ThreadTask.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "compat/browser/WindowInternals.h"
#include "compat/ipc/MessageWindow.h"

namespace compat {

namespace {

enum TaskState { kPending, kRunning, kDone, kCancelled };

struct Inbox;

struct Task {
    std::function<void()> work;
    std::atomic<int> state{kPending};
    std::exception_ptr error;
    std::shared_ptr<Inbox> replyTo;  // null when nobody waits
};

// The tasks handed to one thread; its condition wakes the thread when it
// waits for a task of its own or gets one to run.
struct Inbox {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<Task>> tasks;
};

// How often a waiting sender looks whether the window is still there.
constexpr std::chrono::milliseconds kWindowCheckPeriod(50);

// One inbox per thread id, kept for the process's life (a later thread of
// the same id only finds finished or cancelled tasks there).
std::shared_ptr<Inbox> inboxOf(ThreadId thread) {
    static auto* mutex = new std::mutex;
    static auto* inboxes = new std::unordered_map<ThreadId, std::shared_ptr<Inbox>>;
    std::lock_guard lock(*mutex);
    auto& inbox = (*inboxes)[thread];
    if (!inbox)
        inbox = std::make_shared<Inbox>();
    return inbox;
}

void hand(ThreadId thread, std::shared_ptr<Task> task) {
    auto inbox = inboxOf(thread);
    {
        std::lock_guard lock(inbox->mutex);
        inbox->tasks.push_back(std::move(task));
    }
    inbox->wake.notify_all();
}

bool cancel(Task& task) {
    int expected = kPending;
    return task.state.compare_exchange_strong(expected, kCancelled);
}

// Runs the oldest pending task of `inbox`; false when there was none.
bool runNextTask(Inbox& inbox) {
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard lock(inbox.mutex);
            if (inbox.tasks.empty())
                return false;
            task = std::move(inbox.tasks.front());
            inbox.tasks.pop_front();
        }
        int expected = kPending;
        if (!task->state.compare_exchange_strong(expected, kRunning))
            continue;
        try {
            task->work();
        } catch (...) {
            task->error = std::current_exception();
        }
        task->state = kDone;
        if (auto replyTo = task->replyTo) {
            { std::lock_guard lock(replyTo->mutex); }
            replyTo->wake.notify_all();
        }
        return true;
    }
}

}  // namespace

void runHandedTask() {
    runNextTask(*inboxOf(currentThreadId()));
}

bool runOnWindowThread(WindowHandle window, const std::function<void()>& work) {
    const auto owner = windowThread(window);
    if (!isDesktopWindow(window) || !owner)
        return false;
    if (*owner == currentThreadId()) {
        work();
        return true;
    }
    auto mine = inboxOf(currentThreadId());
    auto task = std::make_shared<Task>();
    task->work = work;
    task->replyTo = mine;
    hand(*owner, task);
    if (!PostMessage(window, kHandedTaskMessage, 0, 0) && cancel(*task))
        return false;
    std::unique_lock lock(mine->mutex);
    while (task->state != kDone) {
        if (task->state == kCancelled)
            return false;
        if (!mine->tasks.empty()) {
            lock.unlock();
            while (runNextTask(*mine)) {
            }
            lock.lock();
            continue;
        }
        mine->wake.wait_for(lock, kWindowCheckPeriod);
        if (!IsWindow(window) && cancel(*task))
            return false;
    }
    lock.unlock();
    if (task->error)
        std::rethrow_exception(task->error);
    return true;
}

bool postToWindowThread(WindowHandle window, std::function<void()> work) {
    const auto owner = windowThread(window);
    if (!isDesktopWindow(window) || !owner)
        return false;
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    hand(*owner, task);
    return PostMessage(window, kHandedTaskMessage, 0, 0) || !cancel(*task);
}

}  // namespace compat
