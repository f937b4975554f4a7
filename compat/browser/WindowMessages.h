#pragma once
// Window messages, styles and their word-packing helpers, beyond the few that
// compat/ipc/MessageQueue.h defines.

#include <cstdint>

#include "compat/desktop/WindowStyle.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

inline constexpr std::uint32_t WM_SIZE = 0x0005;
// Word parameter: WA_* in the low word; long parameter: the other window.
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
// Long parameter: the new text, const char* (UTF-8, NUL-terminated).
inline constexpr std::uint32_t WM_SETTEXT = 0x000C;
// Word parameter: nonzero when the window's thread is being activated.
inline constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
// Long parameter: a structure that starts with a NotifyHeader.
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
// Word parameter: ICON_SMALL or ICON_BIG; WM_SETICON's long parameter is
// the icon. Both answer the icon held before.
inline constexpr std::uint32_t WM_GETICON = 0x007F;
inline constexpr std::uint32_t WM_SETICON = 0x0080;
// The last message a window receives, after its children are destroyed.
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
// Word parameter: SC_* in the bits above the low four, which the system
// uses for itself.
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
// A message handed to a control host for its control (long parameter: the
// const MessageRecord*); nonzero when the control took it.
inline constexpr std::uint32_t WM_FORWARDMSG = 0x037F;

inline constexpr unsigned WA_INACTIVE = 0;
inline constexpr unsigned WA_ACTIVE = 1;
inline constexpr unsigned WA_CLICKACTIVE = 2;
inline constexpr std::uintptr_t SC_CLOSE = 0xF060;
inline constexpr std::uintptr_t ICON_SMALL = 0;
inline constexpr std::uintptr_t ICON_BIG = 1;
inline constexpr std::uintptr_t SIZE_RESTORED = 0;
// Notification codes of WM_COMMAND from buttons.
inline constexpr unsigned BN_CLICKED = 0;

// Window styles (WS_POPUP and WS_VISIBLE, and the show commands, are in
// compat/desktop/WindowStyle.h).
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;

// GetWindowLong indexes, SystemParametersInfo actions.
inline constexpr int GWL_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr unsigned SPI_GETWORKAREA = 0x0030;

// What WM_NOTIFY's long parameter starts with.
struct NotifyHeader {
    WindowHandle from = 0;
    std::uintptr_t id = 0;
    int code = 0;
};

constexpr std::uint16_t lowWord(std::uintptr_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
constexpr std::uint16_t highWord(std::uintptr_t value) {
    return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}
// Two 16-bit halves in one parameter, `low` in the low word.
constexpr std::uintptr_t makeWParam(unsigned low, unsigned high) {
    return (static_cast<std::uintptr_t>(high & 0xFFFF) << 16) | (low & 0xFFFF);
}
constexpr std::intptr_t makeLParam(int low, int high) {
    return static_cast<std::intptr_t>(
        static_cast<std::uint32_t>((static_cast<std::uint32_t>(high) & 0xFFFF) << 16 |
                                   (static_cast<std::uint32_t>(low) & 0xFFFF)));
}

}  // namespace compat
