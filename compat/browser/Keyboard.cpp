#include "compat/browser/Keyboard.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <vector>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"

namespace compat {

namespace {

struct Hook {
    HookHandle handle;
    ThreadId thread;
    HookProcedure procedure;
};

struct HookTable {
    std::mutex mutex;
    std::vector<Hook> hooks;  // in installation order
    HookHandle lastHandle = 0x40000;
};

HookTable& hookTable() {
    static auto* table = new HookTable;
    return *table;
}

// What the calling thread has seen of the keyboard.
struct ThreadInput {
    std::array<std::uint8_t, 256> keys{};  // 0x80 down, 0x01 toggled
    std::uint32_t time = 0;
    std::uint32_t position = 0;
};
thread_local ThreadInput t_input;

// The hook of `thread` installed last before `newerThan` (0: the newest).
HookProcedure hookBefore(ThreadId thread, HookHandle newerThan) {
    auto& t = hookTable();
    std::lock_guard lock(t.mutex);
    bool passed = newerThan == 0;
    for (auto hook = t.hooks.rbegin(); hook != t.hooks.rend(); ++hook) {
        if (hook->thread != thread)
            continue;
        if (passed)
            return hook->procedure;
        passed = hook->handle == newerThan;
    }
    return nullptr;
}

std::uint32_t nowMilliseconds() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The key as the input thread takes it: its state, then its hooks, then its
// focus window.
KeyOutcome deliverKey(std::uint8_t key, bool down) {
    auto& state = t_input.keys[key];
    const bool wasDown = (state & 0x80) != 0;
    state = down ? static_cast<std::uint8_t>(0x80 | ((state & 1) ^ 1)) : static_cast<std::uint8_t>(state & 1);
    const Point pointer = GetCursorPos();
    t_input.time = nowMilliseconds();
    t_input.position = static_cast<std::uint32_t>(makeLParam(pointer.x, pointer.y));
    const auto flags = static_cast<std::intptr_t>(1u | (wasDown ? 1u << 30 : 0u) | (down ? 0u : 1u << 31));
    if (HookProcedure first = hookBefore(currentThreadId(), 0)) {
        if (first(HC_ACTION, key, flags) != 0)
            return KeyOutcome::Swallowed;
    }
    WindowHandle target = GetFocus();
    if (target == 0)
        target = GetActiveWindow();
    PostMessage(target, down ? WM_KEYDOWN : WM_KEYUP, key, flags);
    return KeyOutcome::Posted;
}

}  // namespace

HookHandle SetWindowsHookEx(int hookId, HookProcedure procedure, std::uintptr_t, ThreadId thread) {
    if (hookId != WH_KEYBOARD || !procedure || thread == 0)
        return 0;
    auto& t = hookTable();
    std::lock_guard lock(t.mutex);
    t.lastHandle += 2;
    t.hooks.push_back(Hook{t.lastHandle, thread, procedure});
    return t.lastHandle;
}

bool UnhookWindowsHookEx(HookHandle hook) {
    auto& t = hookTable();
    std::lock_guard lock(t.mutex);
    return std::erase_if(t.hooks, [hook](const Hook& h) { return h.handle == hook; }) == 1;
}

std::intptr_t CallNextHookEx(HookHandle hook, int code, std::uintptr_t wParam, std::intptr_t lParam) {
    ThreadId thread = 0;
    {
        auto& t = hookTable();
        std::lock_guard lock(t.mutex);
        auto found = std::find_if(t.hooks.begin(), t.hooks.end(), [hook](const Hook& h) { return h.handle == hook; });
        if (found == t.hooks.end())
            return 0;
        thread = found->thread;
    }
    HookProcedure procedure = hookBefore(thread, hook);
    return procedure ? procedure(code, wParam, lParam) : 0;
}

std::int16_t GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    const auto state = t_input.keys[static_cast<std::size_t>(virtualKey)];
    return static_cast<std::int16_t>(((state & 0x80) ? 0x8000 : 0) | (state & 1));
}

std::uint32_t GetMessageTime() {
    return t_input.time;
}

std::uint32_t GetMessagePos() {
    return t_input.position;
}

bool TranslateMessage(const Message& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP)
        return false;
    const auto key = message.wParam;
    const bool letter = key >= 'A' && key <= 'Z';
    if (message.message == WM_KEYDOWN && (letter || (key >= '0' && key <= '9') || key == ' '))
        PostMessage(message.window, WM_CHAR, letter ? key - 'A' + 'a' : key, message.lParam);
    return true;
}

KeyOutcome pressKey(std::uint8_t virtualKey, bool down) {
    const WindowHandle active = GetActiveWindow();
    KeyOutcome outcome = KeyOutcome::NoActiveWindow;
    if (active != 0)
        runOnWindowThread(active, [&] { outcome = deliverKey(virtualKey, down); });
    return outcome;
}

}  // namespace compat
