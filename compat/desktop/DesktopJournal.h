#pragma once
// What the headless desktop shows (notification icons, menus, message boxes,
// dialogs), one line per event. Lines are kept in memory for tests in this
// process and appended to the file named by the environment variable
// OVIX_DESKTOP_JOURNAL, when it is set, for tests that watch from another
// process. Any thread may record.

#include <string>
#include <string_view>
#include <vector>

#include "compat/desktop/DesktopExport.h"

namespace compat {

void recordDesktopEvent(const std::string& line);

// Every line recorded in this process so far, oldest first.
COMPAT_DESKTOP_EXPORT std::vector<std::string> desktopEvents();
COMPAT_DESKTOP_EXPORT void clearDesktopEvents();

// `text` as one field of a line: in double quotes, with \", \\, \n and \xHH
// for the other control bytes.
std::string journalQuote(std::string_view text);

}  // namespace compat
