#pragma once
// The notification area, as a headless model: it keeps each icon's state,
// records every change in the desktop journal (DesktopJournal.h), hands it to
// a real desktop when one is attached (DesktopPresenter.h); the user acts on
// an icon through SimulatedInput.h.

#include <cstdint>
#include <optional>
#include <string>

#include "compat/desktop/DesktopExport.h"
#include "compat/desktop/Menu.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

// Actions.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;
// Which fields of the record count.
inline constexpr unsigned NIF_MESSAGE = 0x01;
inline constexpr unsigned NIF_ICON = 0x02;
inline constexpr unsigned NIF_TIP = 0x04;
inline constexpr unsigned NIF_INFO = 0x10;
// Balloon icons.
inline constexpr unsigned NIIF_INFO = 0x01;
// What the user does, as the callback message's long parameter.
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;

struct NotifyIconData {
    WindowHandle window = 0;  // owner, with `id` the icon's key
    unsigned id = 0;
    unsigned flags = 0;
    std::uint32_t callbackMessage = 0;  // NIF_MESSAGE
    unsigned icon = 0;                  // NIF_ICON: an icon resource id
    std::string tip;                    // NIF_TIP: at most 127 bytes are kept
    std::string info;                   // NIF_INFO: balloon text, at most 255 bytes kept; empty: no balloon
    unsigned timeoutMs = 0;             // NIF_INFO
    std::string infoTitle;              // NIF_INFO: at most 63 bytes kept
    unsigned infoFlags = 0;             // NIF_INFO: NIIF_INFO, ...
};

// Adds, changes or removes the icon of (window, id). A change takes only the
// fields whose flag is set. False when NIM_ADD finds the icon there already,
// or NIM_MODIFY or NIM_DELETE does not find it.
COMPAT_DESKTOP_EXPORT bool Shell_NotifyIcon(std::uint32_t action, const NotifyIconData& data);

// The menu that a desktop which opens icon menus itself shows for the icon of
// (window, id); a pick goes to `window` as WM_COMMAND, as from TrackPopupMenu.
// False when there is no such icon.
COMPAT_DESKTOP_EXPORT bool setNotifyIconMenu(WindowHandle window, unsigned id, MenuHandle menu);

// The icon's current state, its flags the union of those ever set.
COMPAT_DESKTOP_EXPORT std::optional<NotifyIconData> notifyIcon(WindowHandle window, unsigned id);

}  // namespace compat
