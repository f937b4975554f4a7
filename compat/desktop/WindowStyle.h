#pragma once
// The window styles and show commands that the dialogs here and the browser
// host's windows (compat/browser) both use: one definition for both.

#include <cstdint>

namespace compat {

inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

}  // namespace compat
