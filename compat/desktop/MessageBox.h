#pragma once
// Message boxes, as a headless model: each box is recorded in the desktop
// journal (DesktopJournal.h), shown on a real desktop when one is attached
// (DesktopPresenter.h), and answered at once, as a user who presses its first
// button.

#include <string_view>

#include "compat/desktop/DesktopExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

inline constexpr unsigned MB_OK = 0x0000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Shows `text` under `caption`; the button pressed (IDOK for MB_OK).
COMPAT_DESKTOP_EXPORT int MessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                                     unsigned type);

}  // namespace compat
