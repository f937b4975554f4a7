#include "launcher/AboutDialog.h"

#include "compat/desktop/Dialog.h"
#include "compat/desktop/MessageBox.h"
#include "launcher/LauncherResources.h"

namespace ovix {

namespace {

std::intptr_t aboutProcedure(compat::WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    const auto low = static_cast<std::intptr_t>(wParam & 0xFFFF);
    switch (message) {
        case compat::WM_INITDIALOG:
            return 1;
        case compat::WM_COMMAND:
            if (low != compat::IDOK && low != compat::IDCANCEL)
                return 0;
            compat::EndDialog(dialog, low);
            return 1;
        case compat::WM_LBUTTONUP:
            compat::EndDialog(dialog, low);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void showAboutDialog(compat::WindowHandle owner) {
    const auto dialog = compat::CreateDialog(aboutDialogResource(), owner, aboutProcedure);
    if (dialog == 0)
        return;
    auto styles = *compat::dialogStyles(dialog);
    styles.style |= compat::WS_POPUP;
    styles.exStyle &= compat::WS_EX_CLIENTEDGE;
    compat::setDialogStyles(dialog, styles);
    compat::ShowDialog(dialog, compat::SW_SHOW);
}

}  // namespace ovix
