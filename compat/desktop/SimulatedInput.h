#pragma once
// The headless desktop's menus and notification icons scripted from outside,
// for tests and other hosts that script the desktop: the input a user would
// give. Any thread may call.

#include <cstdint>

#include "compat/desktop/DesktopExport.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

// As the user: the command to pick from the next menu shown (0: dismiss it).
// An id that the menu does not hold dismisses it too.
COMPAT_DESKTOP_EXPORT void chooseMenuItem(unsigned id);

// As the user, on a notification icon: its callback message goes to its
// window, with the icon's id as word parameter and `mouseMessage` as long
// parameter. False when there is no such icon or it has no callback message.
COMPAT_DESKTOP_EXPORT bool clickNotifyIcon(WindowHandle window, unsigned id, std::uint32_t mouseMessage);

}  // namespace compat
