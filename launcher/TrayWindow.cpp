#include "launcher/TrayWindow.h"

#include <string>

#include "compat/desktop/Cursor.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/system/RunHidden.h"
#include "launcher/AboutDialog.h"
#include "launcher/Autostart.h"
#include "launcher/ExitSequence.h"
#include "launcher/LauncherRegistry.h"
#include "launcher/LauncherResources.h"
#include "launcher/OpenUrl.h"
#include "launcher/TrayCommands.h"
#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

std::unique_ptr<TrayWindow> TrayWindow::create(LauncherState& state, ApplicationProcess& application,
                                               compat::AppLocalServerFactory createServer) {
    std::unique_ptr<TrayWindow> tray(new TrayWindow(state, application, std::move(createServer)));
    TrayWindow* self = tray.get();
    tray->m_window = compat::CreateMessageWindow(
        [self](compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            return self->procedure(window, message, wParam, lParam);
        });
    tray->m_menu = loadTrayMenuResource();
    tray->m_trayMenu = compat::GetSubMenu(tray->m_menu, 0);
    if (tray->m_window == 0 || tray->m_trayMenu == 0)
        return nullptr;
    compat::SetMenuDefaultItem(tray->m_trayMenu, 0, /*byPosition=*/true);
    state.mainWindow = tray->m_window;
    return tray;
}

TrayWindow::TrayWindow(LauncherState& state, ApplicationProcess& application,
                       compat::AppLocalServerFactory createServer)
    : m_state(state), m_application(application), m_createServer(std::move(createServer)) {}

TrayWindow::~TrayWindow() {
    m_destroying = true;
    if (compat::IsWindow(m_window))
        compat::DestroyWindow(m_window);
    destroyMenus();
}

compat::NotifyIconData TrayWindow::iconRecord() const {
    compat::NotifyIconData record;
    record.window = m_window;
    record.id = kTrayIconId;
    record.flags = compat::NIF_MESSAGE | compat::NIF_INFO;
    record.callbackMessage = WM_TRAYNOTIFY;
    record.timeoutMs = kBalloonTimeoutMs;
    record.infoFlags = compat::NIIF_INFO;
    return record;
}

bool TrayWindow::addIcon() {
    auto record = iconRecord();
    record.flags |= compat::NIF_ICON | compat::NIF_TIP;
    record.icon = IDI_STARTING;
    record.tip = kStartingTip;
    if (!m_state.startUrl.empty() && !m_state.urlOpened) {
        record.infoTitle = kStartingBalloonTitle;
        record.info = kStartingBalloon;
    }
    if (!compat::Shell_NotifyIcon(compat::NIM_ADD, record))
        return false;
    // For desktops that open the icon's menu themselves.
    compat::setNotifyIconMenu(m_window, kTrayIconId, m_trayMenu);
    return true;
}

void TrayWindow::removeIcon() {
    compat::Shell_NotifyIcon(compat::NIM_DELETE, iconRecord());
}

void TrayWindow::destroyMenus() {
    if (m_menu != 0)
        compat::DestroyMenu(m_menu);
    m_menu = 0;
    m_trayMenu = 0;
}

std::intptr_t TrayWindow::procedure(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    switch (message) {
        case WM_TRAYNOTIFY:
            if (lParam == compat::WM_LBUTTONDBLCLK) {
                OpenUrl(kBaseUrl);
            } else if (lParam == compat::WM_RBUTTONUP) {
                const auto cursor = compat::GetCursorPos();
                showTrayMenu(cursor.x, cursor.y);
                return 1;
            }
            break;
        case compat::WM_CONTEXTMENU:
            showTrayMenu(static_cast<std::int16_t>(lParam & 0xFFFF),
                         static_cast<std::int16_t>((lParam >> 16) & 0xFFFF));
            return 1;
        case compat::WM_COMMAND:
            if (runCommand(wParam & 0xFFFF))
                return 0;
            break;
        case compat::WM_DESTROY:
            if (m_destroying)
                return 0;
            compat::PostQuitMessage(0);
            // Closed some other way than Exit: the monitor and the
            // application stop too, so that shutdown never waits for them.
            if (!m_exiting)
                stopMonitorAndApplication(m_state, m_createServer);
            return 0;
    }
    return compat::DefWindowProc(window, message, wParam, lParam);
}

bool TrayWindow::runCommand(std::uintptr_t id) {
    switch (id) {
        case IDM_CLASS_ABOUT:
        case IDM_ABOUT:
            showAboutDialog(m_window);
            return true;
        case IDM_CLASS_EXIT:
            compat::DestroyWindow(m_window);
            return true;
        case IDM_PAUSE:
            compat::PostThreadMessage(m_state.app.threadId, compat::WM_USER, PLATFORM_TMSG_PAUSE, 0);
            return true;
        case IDM_RESUME:
            compat::PostThreadMessage(m_state.app.threadId, compat::WM_USER, PLATFORM_TMSG_RESUME, 0);
            return true;
        case IDM_EXIT:
            exit();
            return true;
        case IDM_LOGONLAUNCH:
            toggleLogonLaunch();
            return true;
        case IDM_OPEN:
            OpenUrl(kBaseUrl);
            return true;
        case IDM_HELP:
            OpenUrl(std::string(kBaseUrl) + "help");
            return true;
        case IDM_MESSAGES:
            OpenUrl(std::string(kBaseUrl) + "messages");
            return true;
        default:
            if (id < kFirstStatusCommand)
                return false;
            reportStatus(static_cast<unsigned>(id - kFirstStatusCommand));
            return true;
    }
}

void TrayWindow::reportStatus(unsigned status) {
    m_state.restartCount = 0;
    auto record = iconRecord();
    // A status the launcher does not know leaves the icon and its tip alone.
    if (const char* tip = statusTip(status)) {
        record.flags |= compat::NIF_ICON | compat::NIF_TIP;
        record.icon = IDI_ONLINE + status;
        record.tip = tip;
    }
    const bool openStartUrl = !m_state.startUrl.empty() && !m_state.urlOpened;
    if (openStartUrl) {
        record.infoTitle = kUpBalloonTitle;
        record.info = kUpBalloon;
    }
    compat::Shell_NotifyIcon(compat::NIM_MODIFY, record);
    writeLauncherValue(openLauncherKey(), kReadyValue, 1);
    if (openStartUrl) {
        OpenUrl(m_state.startUrl);
        m_state.urlOpened = true;
    }
}

void TrayWindow::toggleLogonLaunch() {
    if (!SetAutostart(m_state.autostartBits, m_state.launcherPath))
        return;
    if (m_state.autostartBits & kAutostartSet) {
        m_state.autostartBits &= ~kAutostartSet;
        compat::CheckMenuItem(m_trayMenu, IDM_LOGONLAUNCH, compat::MF_BYCOMMAND | compat::MF_UNCHECKED);
    } else {
        m_state.autostartBits |= kAutostartSet;
        compat::CheckMenuItem(m_trayMenu, IDM_LOGONLAUNCH, compat::MF_BYCOMMAND | compat::MF_CHECKED);
        compat::runHidden("browser.bat");
    }
}

void TrayWindow::showTrayMenu(int x, int y) {
    compat::TrackPopupMenu(m_trayMenu, compat::TPM_BOTTOMALIGN | compat::TPM_RIGHTALIGN, x, y, m_window);
    compat::PostMessage(m_window, compat::WM_NULL, 0, 0);
}

void TrayWindow::exit() {
    // Exit runs once; the commands that queued up meanwhile find it done.
    if (m_exiting)
        return;
    m_exiting = true;
    stopMonitorAndApplication(m_state, m_createServer);
    endApplication(m_state, m_application);
    deleteTemporaryEntries();
}

}  // namespace ovix
