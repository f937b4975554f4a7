#pragma once
// The popup windows open in this process, for tests.

#include <optional>
#include <vector>

#include "addon/browser/popup/WebBrowser.h"
#include "compat/browser/Window.h"
#include "testing/ScratchFolder.h"

namespace ovix::testing {

inline std::vector<compat::WindowHandle> popupWindows() {
    std::vector<compat::WindowHandle> found;
    for (compat::WindowHandle window : compat::topLevelWindows()) {
        if (compat::GetClassName(window) == kPopupWindowClass)
            found.push_back(window);
    }
    return found;
}

// The popups that are shown now.
inline std::vector<compat::WindowState> shownPopups() {
    std::vector<compat::WindowState> shown;
    for (const compat::WindowHandle popup : popupWindows()) {
        if (auto state = compat::windowState(popup); state && state->visible)
            shown.push_back(std::move(*state));
    }
    return shown;
}

// The one popup open, once it is shown; nothing when none shows, or more
// than one is open, within the wait.
inline std::optional<compat::WindowState> shownPopup() {
    std::optional<compat::WindowState> popup;
    eventually([&] {
        const auto popups = popupWindows();
        popup = popups.size() == 1 ? compat::windowState(popups[0]) : std::nullopt;
        return popup && popup->visible;
    });
    return popup && popup->visible ? popup : std::nullopt;
}

// Closes every popup and waits until they are gone.
inline bool closePopups() {
    for (compat::WindowHandle window : popupWindows())
        compat::PostMessage(window, compat::WM_CLOSE, 0, 0);
    return eventually([] { return popupWindows().empty(); });
}

}  // namespace ovix::testing
