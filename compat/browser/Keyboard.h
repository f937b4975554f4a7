#pragma once
// The keyboard: per-thread keyboard hooks (WH_KEYBOARD), the key state a
// thread sees and the time and pointer position of its last message. A key
// that the user presses (SimulatedInput.h) goes to the thread of the active
// window, whose hooks see each key first, newest hook first; a key that no
// hook swallows is posted to that thread's focus window (else the active
// window).
// Any thread may install and remove hooks; a hook runs on its own thread, and
// the key state and message time and position are the calling thread's.

#include <cstdint>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/MessageRecord.h"

namespace compat {

inline constexpr int WH_KEYBOARD = 2;
inline constexpr int HC_ACTION = 0;
inline constexpr std::uint8_t VK_BACK = 0x08;
inline constexpr std::uint8_t VK_TAB = 0x09;
inline constexpr std::uint8_t VK_F5 = 0x74;

using HookHandle = std::uintptr_t;  // 0: no hook
// Called with the hook code, the virtual key and the key flags (repeat count
// 1; bit 30 set when the key was down before; bit 31 set on release). A
// nonzero answer swallows the key.
using HookProcedure = std::intptr_t (*)(int code, std::uintptr_t wParam, std::intptr_t lParam);

// Installs `procedure` for the keys of `thread` (a thread of this process;
// `module` is not used). Only WH_KEYBOARD; 0 otherwise or without a thread.
COMPAT_BROWSER_EXPORT HookHandle SetWindowsHookEx(int hookId, HookProcedure procedure, std::uintptr_t module, ThreadId thread);
COMPAT_BROWSER_EXPORT bool UnhookWindowsHookEx(HookHandle hook);
// The answer of the hook installed before `hook` on its thread, or 0 when
// there is none.
COMPAT_BROWSER_EXPORT std::intptr_t CallNextHookEx(HookHandle hook, int code, std::uintptr_t wParam, std::intptr_t lParam);

// The calling thread's view of a key: the high bit (negative value) while
// down, the low bit toggled by each press.
COMPAT_BROWSER_EXPORT std::int16_t GetKeyState(int virtualKey);
// The time (milliseconds) and the pointer position (x in the low word, y in
// the high word, each signed) of the calling thread's last key.
COMPAT_BROWSER_EXPORT std::uint32_t GetMessageTime();
COMPAT_BROWSER_EXPORT std::uint32_t GetMessagePos();
// Posts WM_CHAR for a WM_KEYDOWN of a letter, digit or space key; true for a
// key message.
COMPAT_BROWSER_EXPORT bool TranslateMessage(const Message& message);

}  // namespace compat
