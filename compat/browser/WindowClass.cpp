#include "compat/browser/WindowClass.h"

#include "base/Ascii.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/Window.h"

namespace compat {

bool makeClassBehavior(std::string_view className, WindowHandle window,
                       std::shared_ptr<WindowClassBehavior>& behavior) {
    if (ovix::asciiEqualNoCase(className, TOOLBARCLASSNAME))
        behavior = makeToolbarBehavior();
    else if (ovix::asciiEqualNoCase(className, WC_COMBOBOX))
        behavior = makeComboBoxBehavior();
    else if (ovix::asciiEqualNoCase(className, kAxHostClass))
        return (behavior = makeAxHostBehavior(window)) != nullptr;
    return true;
}

bool sendToParent(WindowHandle control, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return runOnWindowThread(control, [&] { SendMessage(GetParent(control), message, wParam, lParam); });
}

}  // namespace compat
