#include "launcher/InterimLauncherParts.h"

#include "compat/MessageWindow.h"
#include "compat/ShellOpen.h"
#include "launcher/TrayCommands.h"

namespace {

constexpr std::uintptr_t kDestroyCommand = 105;

std::intptr_t mainWindowProcedure(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    if (message == compat::WM_COMMAND && (wParam & 0xFFFF) == IDM_EXIT) {
        compat::PostQuitMessage(0);
        return 0;
    }
    if (message == compat::WM_COMMAND && (wParam & 0xFFFF) == kDestroyCommand) {
        compat::DestroyWindow(window);
        return 0;
    }
    if (message == compat::WM_DESTROY) {
        compat::PostQuitMessage(0);
        return 0;
    }
    return compat::DefWindowProc(window, message, wParam, lParam);
}

}  // namespace

bool InterimLauncherParts::setUpInstance(LauncherState& state) {
    state.comMode = false;
    state.mainWindow = compat::CreateMessageWindow(mainWindowProcedure);
    return state.mainWindow != 0;
}

int InterimLauncherParts::openUrl(const std::string& url) {
    return compat::shellOpen(url);
}
