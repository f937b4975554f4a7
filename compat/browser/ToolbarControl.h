#pragma once
// The system's toolbar control (class "ToolbarWindow32"), as a model: it
// keeps what its TB_* messages set and answers where its buttons are. A click
// on a button sends its parent WM_COMMAND (the command id and BN_CLICKED,
// the toolbar as long parameter); a click on a drop-down arrow sends it
// WM_NOTIFY with TBN_DROPDOWN (a ToolbarNotify); a tooltip is asked of the
// parent with WM_NOTIFY and TTN_GETDISPINFOW (a ToolTipText) when the
// toolbar has TBSTYLE_TOOLTIPS. The parent passes on (reflects) to the
// toolbar whatever it wants the toolbar's own procedure to handle.
//
// Buttons are laid out left to right from (0, 0): each as wide as its
// TB_SETBUTTONINFOW width, else the button size, as high as the button size,
// with the metrics' button spacing between them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/Rect.h"
#include "compat/browser/WindowMessages.h"
#include "compat/desktop/Cursor.h"

namespace compat {

inline constexpr std::string_view TOOLBARCLASSNAME = "ToolbarWindow32";

// Messages, with what their parameters are here.
inline constexpr std::uint32_t TB_ADDBITMAP = WM_USER + 19;         // image count, const ToolbarAddBitmap*; first image index or -1
inline constexpr std::uint32_t TB_BUTTONCOUNT = WM_USER + 24;       // the number of buttons
inline constexpr std::uint32_t TB_COMMANDTOINDEX = WM_USER + 25;    // command; its button's index or -1
inline constexpr std::uint32_t TB_GETITEMRECT = WM_USER + 29;       // index, Rect*; client coordinates
inline constexpr std::uint32_t TB_BUTTONSTRUCTSIZE = WM_USER + 30;  // the size of the caller's button record
inline constexpr std::uint32_t TB_SETBUTTONSIZE = WM_USER + 31;     // 0, makeLParam(width, height)
inline constexpr std::uint32_t TB_SETBITMAPSIZE = WM_USER + 32;     // 0, makeLParam(width, height)
inline constexpr std::uint32_t TB_SETBUTTONINFOW = WM_USER + 64;    // command, const ToolbarButtonInfo*
inline constexpr std::uint32_t TB_ADDBUTTONSW = WM_USER + 68;       // count, const ToolbarButton*
inline constexpr std::uint32_t TB_SETEXTENDEDSTYLE = WM_USER + 84;  // 0, style; the previous style
inline constexpr std::uint32_t TB_SETMETRICS = WM_USER + 102;       // 0, const ToolbarMetrics*

// Notifications (NotifyHeader::code).
inline constexpr int TBN_DROPDOWN = -710;
inline constexpr int TTN_GETDISPINFOW = -530;

// Button states and styles, toolbar and extended styles, button-info and
// metrics masks.
inline constexpr std::uint8_t TBSTATE_ENABLED = 0x04;
inline constexpr std::uint8_t BTNS_DROPDOWN = 0x08;
inline constexpr std::uint8_t BTNS_AUTOSIZE = 0x10;
inline constexpr std::uint32_t CCS_TOP = 0x0001;
inline constexpr std::uint32_t CCS_NORESIZE = 0x0004;
inline constexpr std::uint32_t CCS_NOPARENTALIGN = 0x0008;
inline constexpr std::uint32_t CCS_ADJUSTABLE = 0x0020;
inline constexpr std::uint32_t CCS_NODIVIDER = 0x0040;
inline constexpr std::uint32_t TBSTYLE_TOOLTIPS = 0x0100;
inline constexpr std::uint32_t TBSTYLE_WRAPABLE = 0x0200;
inline constexpr std::uint32_t TBSTYLE_FLAT = 0x0800;
inline constexpr std::uint32_t TBSTYLE_LIST = 0x1000;
inline constexpr std::uint32_t TBSTYLE_TRANSPARENT = 0x8000;
inline constexpr std::uint32_t TBSTYLE_EX_DRAWDDARROWS = 0x0001;
inline constexpr std::uint32_t TBIF_SIZE = 0x0040;
inline constexpr std::uint32_t TBMF_PAD = 0x0001;
inline constexpr std::uint32_t TBMF_BARPAD = 0x0002;
inline constexpr std::uint32_t TBMF_BUTTONSPACING = 0x0004;

struct ToolbarButton {
    int bitmap = 0;  // image index
    int command = 0;
    std::uint8_t state = 0;
    std::uint8_t style = 0;
    std::uintptr_t data = 0;
    std::intptr_t string = 0;
};

// An image list entry: a bitmap handle as `id` when `instance` is 0.
struct ToolbarAddBitmap {
    std::uintptr_t instance = 0;
    std::uintptr_t id = 0;
    friend bool operator==(const ToolbarAddBitmap&, const ToolbarAddBitmap&) = default;
};

struct ToolbarButtonInfo {
    std::uint32_t size = sizeof(ToolbarButtonInfo);
    std::uint32_t mask = 0;
    int command = 0;
    int image = 0;
    std::uint8_t state = 0;
    std::uint8_t style = 0;
    std::uint16_t width = 0;  // TBIF_SIZE
};

struct ToolbarMetrics {
    std::uint32_t size = sizeof(ToolbarMetrics);
    std::uint32_t mask = 0;
    int xPad = 0;
    int yPad = 0;
    int xBarPad = 0;
    int yBarPad = 0;
    int xButtonSpacing = 0;
    int yButtonSpacing = 0;
    friend bool operator==(const ToolbarMetrics&, const ToolbarMetrics&) = default;
};

// TBN_DROPDOWN's record.
struct ToolbarNotify {
    NotifyHeader header;
    int item = 0;  // the button's command
    ToolbarButton button;
    Rect buttonRect;
};

// TTN_GETDISPINFOW's record: the handler sets `text` (UTF-8).
struct ToolTipText {
    NotifyHeader header;  // `id` is the button's command
    std::string text;
    std::uintptr_t instance = 0;
    unsigned flags = 0;
};

// For tests: what the toolbar holds.
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

// For tests, as the user, each on the toolbar's thread; false when the
// toolbar or the button is not there (or, for the arrow, has none; for the
// tooltip, the toolbar shows none).
COMPAT_BROWSER_EXPORT bool clickToolbarButton(WindowHandle toolbar, int command);
COMPAT_BROWSER_EXPORT bool clickToolbarArrow(WindowHandle toolbar, int command);
COMPAT_BROWSER_EXPORT std::optional<std::string> toolbarTooltip(WindowHandle toolbar, int command);

}  // namespace compat
