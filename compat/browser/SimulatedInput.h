#pragma once
// The headless desktop scripted from outside, for tests and other hosts that
// script it: the input a user would give (clicks, keys, picks) and the state
// a script reads back (windows, controls, the control host's UI handler,
// memory blocks). The user's input reaches each window on its own thread, as
// the system delivers it, and the caller waits for it. Any thread may call.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/GlobalMemory.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/Window.h"

namespace compat {

// What a script sees of a window.
struct WindowState {
    ThreadId thread = 0;
    std::string className;
    std::string text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int id = 0;
    WindowHandle parent = 0;
    Rect screenRect;
    bool visible = false;  // its own flag (IsWindowVisible adds the ancestors')
    IconHandle smallIcon = 0;
    IconHandle bigIcon = 0;
};
COMPAT_BROWSER_EXPORT std::optional<WindowState> windowState(WindowHandle window);
// Live windows in the order they were made.
COMPAT_BROWSER_EXPORT std::vector<WindowHandle> topLevelWindows();
COMPAT_BROWSER_EXPORT std::vector<WindowHandle> childWindows(WindowHandle parent);

// The desktop's work area, (0, 0, 1024, 768) until set.
COMPAT_BROWSER_EXPORT void setWorkArea(const Rect& area);
// As the user: clicks the window's close box, which sends WM_SYSCOMMAND with
// SC_CLOSE and low bits that the system sets for itself. False when the
// window is gone.
COMPAT_BROWSER_EXPORT bool clickCloseBox(WindowHandle window);

// As the user: clicks into `window`, which activates its top-level window
// (WA_CLICKACTIVE) and gives `window` the focus. False when it is gone.
COMPAT_BROWSER_EXPORT bool clickWindow(WindowHandle window);
// As the user: switches to another program.
COMPAT_BROWSER_EXPORT void activateOtherApplication();

// As the user: presses (`down`) or releases a key (Keyboard.h).
enum class KeyOutcome { NoActiveWindow, Swallowed, Posted };
COMPAT_BROWSER_EXPORT KeyOutcome pressKey(std::uint8_t virtualKey, bool down = true);

// What a combo box holds.
struct ComboBoxSnapshot {
    std::vector<std::string> items;
    int selection = -1;
    std::string text;
};
COMPAT_BROWSER_EXPORT std::optional<ComboBoxSnapshot> comboBoxState(WindowHandle box);
// As the user, each on the box's thread: opens the list; picks item
// `index`. False when the box (or the item) is not there.
COMPAT_BROWSER_EXPORT bool dropDownComboBox(WindowHandle box);
COMPAT_BROWSER_EXPORT bool pickComboBoxItem(WindowHandle box, int index);

// What a toolbar holds.
struct ToolbarSnapshot {
    std::uint32_t buttonStructSize = 0;
    std::vector<ToolbarAddBitmap> bitmaps;  // one entry per image
    struct Button {
        ToolbarButton button;
        int width = 0;  // 0 until TB_SETBUTTONINFOW sets it
    };
    std::vector<Button> buttons;
    Point bitmapSize;
    Point buttonSize;
    std::uint32_t extendedStyle = 0;
    ToolbarMetrics metrics;  // the fields ever set, `mask` their union
};
COMPAT_BROWSER_EXPORT std::optional<ToolbarSnapshot> toolbarState(WindowHandle toolbar);
// As the user, each on the toolbar's thread; false when the toolbar or the
// button is not there (or, for the arrow, has none; for the tooltip, the
// toolbar shows none).
COMPAT_BROWSER_EXPORT bool clickToolbarButton(WindowHandle toolbar, int command);
COMPAT_BROWSER_EXPORT bool clickToolbarArrow(WindowHandle toolbar, int command);
COMPAT_BROWSER_EXPORT std::optional<std::string> toolbarTooltip(WindowHandle toolbar, int command);

// The calls that the default UI handler of the control host in `container`
// received, by name ("GetHostInfo", ...); empty when it holds no control.
COMPAT_BROWSER_EXPORT std::vector<std::string> controlHostUiCalls(WindowHandle container);

// Whether the handle names a memory block that is not freed yet, to count
// what a data object handed over and what was released.
COMPAT_BROWSER_EXPORT bool isGlobalBlock(GlobalHandle block);

}  // namespace compat
