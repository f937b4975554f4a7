#include "compat/ipc/MessageWindow.h"

#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace compat {

namespace {

struct WindowRecord {
    ThreadId owner;
    WindowProcedure procedure;
    WindowProcedure defaultProcedure;
    bool destroying = false;  // owner thread only
};

struct WindowTable {
    std::mutex mutex;
    std::unordered_map<WindowHandle, std::shared_ptr<WindowRecord>> windows;
    WindowHandle lastHandle = 0x10000;
};

// Never destroyed: threads may still use windows while the process exits.
WindowTable& table() {
    static auto* windows = new WindowTable;
    return *windows;
}

std::shared_ptr<WindowRecord> find(WindowHandle window) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.windows.find(window);
    return found == t.windows.end() ? nullptr : found->second;
}

}  // namespace

WindowHandle CreateMessageWindow(WindowProcedure procedure, WindowProcedure defaultProcedure) {
    if (!ensureMessageQueue())
        return 0;
    auto record = std::make_shared<WindowRecord>(
        WindowRecord{currentThreadId(), std::move(procedure), std::move(defaultProcedure)});
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.lastHandle += 2;
    t.windows.emplace(t.lastHandle, std::move(record));
    return t.lastHandle;
}

bool DestroyWindow(WindowHandle window) {
    auto record = find(window);
    if (!record || record->owner != currentThreadId() || record->destroying) {
        errno = EPERM;
        return false;
    }
    record->destroying = true;
    if (record->procedure)
        record->procedure(window, WM_DESTROY, 0, 0);
    killWindowTimers(window);
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.windows.erase(window);
    return true;
}

bool IsWindow(WindowHandle window) {
    return find(window) != nullptr;
}

std::optional<ThreadId> windowThread(WindowHandle window) {
    if (auto record = find(window))
        return record->owner;
    return std::nullopt;
}

bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window == 0)
        return PostThreadMessage(currentThreadId(), message, wParam, lParam);
    auto record = find(window);
    if (!record) {
        errno = ENOENT;
        return false;
    }
    return postToThreadOfThisProcess(record->owner, Message{window, message, wParam, lParam});
}

std::intptr_t DispatchMessage(const Message& message) {
    if (message.window == 0)
        return 0;
    auto record = find(message.window);
    if (!record || !record->procedure)
        return 0;
    return record->procedure(message.window, message.message, message.wParam, message.lParam);
}

std::intptr_t DefWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (auto record = find(window); record && record->defaultProcedure)
        return record->defaultProcedure(window, message, wParam, lParam);
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

void forgetWindowsOfThread(ThreadId thread) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    std::erase_if(t.windows, [&](const auto& entry) { return entry.second->owner == thread; });
}

}  // namespace compat
