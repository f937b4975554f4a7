#pragma once
// The popup windows open in this process, for tests.

#include <vector>

#include "addon/popup/WebBrowser.h"
#include "compat/browser/Window.h"

namespace ovix::testing {

inline std::vector<compat::WindowHandle> popupWindows() {
    std::vector<compat::WindowHandle> found;
    for (compat::WindowHandle window : compat::topLevelWindows()) {
        if (compat::GetClassName(window) == kPopupWindowClass)
            found.push_back(window);
    }
    return found;
}

}  // namespace ovix::testing
