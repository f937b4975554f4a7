#pragma once
// The About box: dialog 103, modeless, made anew at each command. OK, Cancel
// or a click anywhere on it closes it.

#include "compat/ipc/MessageQueue.h"

namespace ovix {

// Shows a new About box owned by `owner`; a failure to make it is silent.
void showAboutDialog(compat::WindowHandle owner);

}  // namespace ovix
