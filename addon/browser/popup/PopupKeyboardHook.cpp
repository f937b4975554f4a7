#include "addon/browser/popup/PopupKeyboardHook.h"

#include <atomic>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/Window.h"

namespace ovix {

namespace {

std::atomic<compat::WindowHandle> g_activePopup{0};
thread_local compat::HookHandle t_hook = 0;

}  // namespace

PopupKeyboardHook::PopupKeyboardHook() {
    t_hook = compat::SetWindowsHookEx(compat::WH_KEYBOARD, &Procedure, 0, compat::currentThreadId());
}

PopupKeyboardHook::~PopupKeyboardHook() {
    if (t_hook)
        compat::UnhookWindowsHookEx(t_hook);
    t_hook = 0;
}

void PopupKeyboardHook::SetActivePopup(compat::WindowHandle popup) {
    g_activePopup.store(popup, std::memory_order_relaxed);
}

compat::WindowHandle PopupKeyboardHook::ActivePopup() {
    return g_activePopup.load(std::memory_order_relaxed);
}

std::intptr_t PopupKeyboardHook::Procedure(int code, std::uintptr_t key, std::intptr_t keyFlags) {
    if (code < 0)
        return compat::CallNextHookEx(t_hook, code, key, keyFlags);
    const std::uint32_t position = compat::GetMessagePos();
    compat::MessageRecord record;
    record.window = compat::GetFocus();
    record.message = compat::GetKeyState(static_cast<int>(key)) < 0 ? compat::WM_KEYDOWN : compat::WM_KEYUP;
    record.wParam = key;
    record.lParam = keyFlags;
    record.time = compat::GetMessageTime();
    record.point = {static_cast<std::int16_t>(compat::lowWord(position)),
                    static_cast<std::int16_t>(compat::highWord(position))};
    // The control host is the window of the focus's line whose parent is
    // the active popup.
    const compat::WindowHandle popup = ActivePopup();
    for (compat::WindowHandle window = record.window; popup && window; window = compat::GetParent(window)) {
        if (compat::GetParent(window) != popup)
            continue;
        if (compat::SendMessage(window, compat::WM_FORWARDMSG, 0, reinterpret_cast<std::intptr_t>(&record)) != 0)
            return 1;
        break;
    }
    return compat::CallNextHookEx(t_hook, code, key, keyFlags);
}

}  // namespace ovix
