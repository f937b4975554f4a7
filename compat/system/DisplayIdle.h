#pragma once
// How long the user of the X display named by $DISPLAY has left its keyboard
// and mouse alone, as the display server's screen-saver extension counts it.
// libxcb and its screen-saver library are opened at run time, so a machine
// without them, or without a display, merely has no figure. Xcb is used
// rather than Xlib, whose handler of a broken connection ends the process.
//
// Each call makes a connection of its own and closes it; a display server
// that accepts the connection and never answers holds the call. The calls
// may be made from any thread.

#include <chrono>
#include <optional>

namespace compat {

// Empty when $DISPLAY is unset or names no reachable display, when the
// libraries are missing, or when the display lacks the extension.
std::optional<std::chrono::milliseconds> displayIdleTime();

}  // namespace compat
