#include "launcher/LauncherResources.h"

#include "launcher/TrayCommands.h"

namespace ovix {

const char* statusTip(unsigned status) {
    switch (status) {
        case kStatusOnline:
            return "Morvane is online";
        case kStatusOffline:
            return "Morvane is currently offline and shared interests may not be updated";
        case kStatusNewMessages:
            return "You have new messages";
        default:
            return nullptr;
    }
}

compat::MenuHandle loadTrayMenuResource() {
    const compat::MenuHandle bar = compat::CreateMenu();
    const compat::MenuHandle popup = compat::CreatePopupMenu();
    const bool built = bar != 0 && popup != 0 &&
                       compat::AppendMenu(popup, compat::MF_STRING, IDM_OPEN, "Open Morvane") &&
                       compat::AppendMenu(popup, compat::MF_STRING, IDM_HELP, "Help") &&
                       compat::AppendMenu(popup, compat::MF_SEPARATOR, 0, "") &&
                       compat::AppendMenu(popup, compat::MF_STRING, IDM_ABOUT, "About...") &&
                       compat::AppendMenu(popup, compat::MF_STRING, IDM_EXIT, "Exit") &&
                       compat::AppendMenu(bar, compat::MF_POPUP, popup, "Tray");
    if (built)
        return bar;
    compat::DestroyMenu(popup);
    compat::DestroyMenu(bar);
    return 0;
}

compat::DialogTemplate aboutDialogResource() {
    using compat::DialogItem;
    return compat::DialogTemplate{
        .id = IDD_ABOUTBOX,
        .style = compat::WS_POPUP | compat::DS_CENTER | compat::DS_MODALFRAME,
        .exStyle = compat::WS_EX_DLGMODALFRAME | compat::WS_EX_CLIENTEDGE,
        .width = 290,
        .height = 164,
        .font = "MS Shell Dlg",
        .pointSize = 8,
        .items = {DialogItem{DialogItem::Kind::Bitmap, IDB_ABOUT, ""},
                  DialogItem{DialogItem::Kind::Text, 0, "Morvane, your personal content space. (C) Dastel."},
                  DialogItem{DialogItem::Kind::Text, 0, kVersionText}},
    };
}

}  // namespace ovix
