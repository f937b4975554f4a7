#pragma once
// A real desktop beside the headless model. Once a presenter is attached, the
// model hands it what the user should see: each change of a notification
// icon, the menu that a desktop shows for an icon, message boxes and dialogs.
// The model still keeps and records everything itself. The presenter is
// called on the thread that changed the model, in the order of the changes;
// it must return at once and must not call the model's changing functions.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "compat/desktop/DesktopExport.h"
#include "compat/desktop/Menu.h"
#include "compat/desktop/NotifyIcon.h"

namespace compat {

class COMPAT_DESKTOP_EXPORT DesktopPresenter {
public:
    virtual ~DesktopPresenter() = default;
    // NIM_ADD, NIM_MODIFY or NIM_DELETE of an icon, which `icon` shows as the
    // model now holds it; `changed` holds the flags of the change.
    virtual void showNotifyIcon(std::uint32_t action, const NotifyIconData& icon, unsigned changed) = 0;
    // The menu of the icon of (window, id); its picks go to `window`.
    virtual void showNotifyIconMenu(WindowHandle window, unsigned id, MenuHandle menu) = 0;
    virtual void showMessageBox(std::string_view caption, std::string_view text) = 0;
    // A dialog shown: the texts of its text items, in order.
    virtual void showDialog(const std::vector<std::string>& texts) = 0;
};

// Attaches `presenter`, or detaches the attached one with null; the caller
// keeps it alive while it is attached. Waits for a call in progress.
COMPAT_DESKTOP_EXPORT void attachDesktopPresenter(DesktopPresenter* presenter);

// Runs `show` with the attached presenter, when there is one.
void presentOnDesktop(const std::function<void(DesktopPresenter&)>& show);

}  // namespace compat
