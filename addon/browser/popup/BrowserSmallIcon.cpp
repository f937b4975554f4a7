#include "addon/browser/popup/BrowserSmallIcon.h"

#include <atomic>

namespace ovix {

namespace {

std::atomic<compat::IconHandle> g_smallIcon{0};

}  // namespace

void SaveBrowserSmallIcon(compat::WindowHandle frame) {
    if (g_smallIcon.load() != 0)
        return;
    const auto icon =
        static_cast<compat::IconHandle>(compat::SendMessage(frame, compat::WM_GETICON, compat::ICON_SMALL, 0));
    compat::IconHandle none = 0;
    g_smallIcon.compare_exchange_strong(none, icon);
}

compat::IconHandle BrowserSmallIcon() {
    return g_smallIcon.load();
}

}  // namespace ovix
