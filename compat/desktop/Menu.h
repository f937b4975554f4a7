#pragma once
// Menus, as a headless model: menus and their items are kept as they are
// built and changed; showing a menu records it in the desktop journal
// (DesktopJournal.h), and the user's pick is the one armed beforehand
// (SimulatedInput.h).
// Handles of destroyed menus are never reused within a process.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compat/desktop/DesktopExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

using MenuHandle = std::uintptr_t;  // 0: no menu

// Item kinds and states (AppendMenu, CheckMenuItem).
inline constexpr unsigned MF_STRING = 0x0000;
inline constexpr unsigned MF_UNCHECKED = 0x0000;
inline constexpr unsigned MF_BYCOMMAND = 0x0000;
inline constexpr unsigned MF_CHECKED = 0x0008;
inline constexpr unsigned MF_POPUP = 0x0010;
inline constexpr unsigned MF_BYPOSITION = 0x0400;
inline constexpr unsigned MF_SEPARATOR = 0x0800;
// Asks a window for its context menu; the long parameter holds the screen
// point, x in its low word and y in its high word, each signed.
inline constexpr std::uint32_t WM_CONTEXTMENU = 0x007B;
// Placement of a shown menu relative to its point, and the mouse button
// that picks from it (TrackPopupMenu).
inline constexpr unsigned TPM_RIGHTBUTTON = 0x0002;
inline constexpr unsigned TPM_RIGHTALIGN = 0x0008;
inline constexpr unsigned TPM_BOTTOMALIGN = 0x0020;

struct MenuItem {
    unsigned id = 0;       // command id; 0 for separators and submenus
    MenuHandle popup = 0;  // the submenu, for MF_POPUP items
    std::string text;      // empty for separators
    bool separator = false;
    bool checked = false;
    bool isDefault = false;
};

COMPAT_DESKTOP_EXPORT MenuHandle CreateMenu();
COMPAT_DESKTOP_EXPORT MenuHandle CreatePopupMenu();
// Adds an item at the end: MF_STRING with a command id, MF_POPUP with a
// submenu handle as `idOrPopup`, or MF_SEPARATOR. False when `menu` is not a
// menu.
COMPAT_DESKTOP_EXPORT bool AppendMenu(MenuHandle menu, unsigned flags, std::uintptr_t idOrPopup, std::string_view text);
// The submenu at `position`; 0 when that item has none.
COMPAT_DESKTOP_EXPORT MenuHandle GetSubMenu(MenuHandle menu, int position);
// Makes one item the default (bold) one, by command id or by position.
COMPAT_DESKTOP_EXPORT bool SetMenuDefaultItem(MenuHandle menu, unsigned item, bool byPosition);
// Checks or unchecks the item with command id `item` (MF_BYCOMMAND, this
// menu and its submenus) or at a position (MF_BYPOSITION); the item's
// previous state, MF_CHECKED or MF_UNCHECKED, or -1 when there is no such
// item. Recorded in the journal either way.
COMPAT_DESKTOP_EXPORT int CheckMenuItem(MenuHandle menu, unsigned item, unsigned flags);
// Destroys the menu with its submenus.
COMPAT_DESKTOP_EXPORT bool DestroyMenu(MenuHandle menu);

// Shows `menu` at (x, y) until the user picks an item or dismisses it; a
// picked command goes to `owner` as WM_COMMAND (word parameter the id, long
// parameter 0). The pick is the one chooseMenuItem (SimulatedInput.h)
// armed, used up by this call; without one the menu is dismissed. False
// when `menu` is not a menu.
COMPAT_DESKTOP_EXPORT bool TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, WindowHandle owner);

// A menu's items; empty when it is not a menu.
COMPAT_DESKTOP_EXPORT std::vector<MenuItem> menuItems(MenuHandle menu);

}  // namespace compat
