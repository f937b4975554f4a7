#pragma once
// The keyboard hook of a popup's thread: it hands each key to the browser
// control of the active popup, the popup activated last, when the key's
// focus window lies in that popup, so that the control gets its
// accelerators (Tab, Backspace, F5); a key the control takes goes no
// further. The active popup is one process-wide handle that every popup
// thread writes on activation and every hook reads.
//
// Thread safety: the active popup may be set and read from any thread; a
// hook object belongs to the thread that made it.

#include <cstdint>

#include "compat/browser/Keyboard.h"

namespace ovix {

class PopupKeyboardHook {
public:
    // Installs the hook for the calling thread, which has one at most.
    PopupKeyboardHook();
    // Removes it.
    ~PopupKeyboardHook();
    PopupKeyboardHook(const PopupKeyboardHook&) = delete;
    PopupKeyboardHook& operator=(const PopupKeyboardHook&) = delete;

    // The popup activated last; it stays when that popup closes.
    static void SetActivePopup(compat::WindowHandle popup);
    static compat::WindowHandle ActivePopup();

private:
    static std::intptr_t Procedure(int code, std::uintptr_t key, std::intptr_t keyFlags);
};

}  // namespace ovix
