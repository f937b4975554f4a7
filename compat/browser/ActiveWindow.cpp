#include "compat/browser/ActiveWindow.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "compat/browser/SimulatedInput.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"
#include "compat/browser/WindowInternals.h"

namespace compat {

namespace {

struct Activation {
    std::mutex mutex;
    WindowHandle active = 0;
    std::vector<WindowHandle> history;  // activated windows, the latest last
    std::map<ThreadId, WindowHandle> focus;
};

Activation& activation() {
    static auto* state = new Activation;
    return *state;
}

void sendActivateApp(ThreadId thread, bool active) {
    for (WindowHandle window : topLevelWindowsOfThread(thread))
        SendMessage(window, WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

}  // namespace

void activate(WindowHandle window, unsigned how) {
    auto& a = activation();
    WindowHandle previous;
    {
        std::lock_guard lock(a.mutex);
        previous = a.active;
        if (previous == window)
            return;
        a.active = window;
        std::erase(a.history, window);
        a.history.push_back(window);
    }
    // From another program: the thread that gains activation hears of it.
    const auto thread = windowThread(window);
    if ((previous == 0 || !IsWindow(previous)) && thread)
        sendActivateApp(*thread, true);
    if (previous != 0)
        SendMessage(previous, WM_ACTIVATE, WA_INACTIVE, static_cast<std::intptr_t>(window));
    SendMessage(window, WM_ACTIVATE, how, static_cast<std::intptr_t>(previous));
}

void windowLeaving(WindowHandle window) {
    auto& a = activation();
    WindowHandle next = 0;
    {
        std::lock_guard lock(a.mutex);
        std::erase(a.history, window);
        const auto thread = windowThread(window);
        if (thread) {
            auto focus = a.focus.find(*thread);
            if (focus != a.focus.end() && (focus->second == window || IsChild(window, focus->second)))
                a.focus.erase(focus);
        }
        if (a.active != window)
            return;
        for (auto it = a.history.rbegin(); it != a.history.rend(); ++it) {
            if (*it != window && IsWindowVisible(*it) && isTopLevelWindow(*it)) {
                next = *it;
                break;
            }
        }
        a.active = next;
    }
    if (next != 0)
        SendMessage(next, WM_ACTIVATE, WA_ACTIVE, static_cast<std::intptr_t>(window));
}

WindowHandle GetActiveWindow() {
    auto& a = activation();
    std::lock_guard lock(a.mutex);
    return IsWindow(a.active) ? a.active : 0;
}

WindowHandle GetFocus() {
    auto& a = activation();
    std::lock_guard lock(a.mutex);
    auto found = a.focus.find(currentThreadId());
    return found != a.focus.end() && IsWindow(found->second) ? found->second : 0;
}

WindowHandle SetFocus(WindowHandle window) {
    const ThreadId thread = currentThreadId();
    if (window != 0 && windowThread(window) != thread)
        return 0;
    auto& a = activation();
    WindowHandle previous = 0;
    {
        std::lock_guard lock(a.mutex);
        auto& focus = a.focus[thread];
        previous = IsWindow(focus) ? focus : 0;
        if (previous == window)
            return previous;
        focus = window;
    }
    if (previous != 0)
        SendMessage(previous, WM_KILLFOCUS, window, 0);
    if (window != 0)
        SendMessage(window, WM_SETFOCUS, previous, 0);
    return previous;
}

bool clickWindow(WindowHandle window) {
    const WindowHandle top = rootWindow(window);
    if (top == 0)
        return false;
    activate(top, WA_CLICKACTIVE);
    return runOnWindowThread(window, [window] { SetFocus(window); });
}

void activateOtherApplication() {
    auto& a = activation();
    WindowHandle previous;
    {
        std::lock_guard lock(a.mutex);
        previous = std::exchange(a.active, 0);
    }
    if (previous == 0 || !IsWindow(previous))
        return;
    SendMessage(previous, WM_ACTIVATE, WA_INACTIVE, 0);
    if (const auto thread = windowThread(previous))
        sendActivateApp(*thread, false);
}

}  // namespace compat
