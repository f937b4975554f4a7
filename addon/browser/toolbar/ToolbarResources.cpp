#include "addon/browser/toolbar/ToolbarResources.h"

namespace ovix {

std::optional<ToolbarCommand> FindToolbarCommand(unsigned id) {
    for (const auto& command : kToolbarCommands) {
        if (command.id == id)
            return command;
    }
    return std::nullopt;
}

compat::MenuHandle LoadToolbarMenu() {
    const compat::MenuHandle menu = compat::CreateMenu();
    const compat::MenuHandle popup = compat::CreatePopupMenu();
    bool made = menu && popup;
    for (const auto& item : kToolbarMenuItems) {
        made = made && (item.id == 0 ? compat::AppendMenu(popup, compat::MF_SEPARATOR, 0, "")
                                     : compat::AppendMenu(popup, compat::MF_STRING, item.id, item.text));
    }
    if (made && compat::AppendMenu(menu, compat::MF_POPUP, popup, ""))
        return menu;
    compat::DestroyMenu(popup);
    compat::DestroyMenu(menu);
    return 0;
}

}  // namespace ovix
