#pragma once
// The launcher on the user's desktop: its icon, menu, balloons and message
// boxes shown over the session bus beside the headless model, under its
// title and with its own icons. What the desktop lacks goes to the launcher's
// log, once for each.

#include "compat/desktopbus/SessionBusDesktop.h"

namespace ovix {

compat::SessionBusDesktop::Settings launcherDesktopSettings();

}  // namespace ovix
