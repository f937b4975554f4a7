#include "compat/browser/WindowClass.h"

#include "base/Ascii.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/ToolbarControl.h"

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

}  // namespace compat
