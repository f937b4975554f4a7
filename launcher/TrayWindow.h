#pragma once
// The launcher's hidden main window with its notification icon and tray
// menu: it takes the icon's callbacks, runs the tray commands and shows the
// main application's status reports. It lives on the main thread; every
// method is called there.

#include <cstdint>
#include <memory>

#include "compat/desktop/Menu.h"
#include "compat/desktop/NotifyIcon.h"
#include "launcher/AppLocalServer.h"
#include "launcher/ApplicationProcess.h"
#include "launcher/LauncherState.h"

namespace ovix {

class TrayWindow {
public:
    // Makes the main window (state.mainWindow) and the tray menu; null when
    // either cannot be made.
    static std::unique_ptr<TrayWindow> create(LauncherState& state, ApplicationProcess& application,
                                              compat::AppLocalServerFactory createServer);
    // Destroys the window, silently.
    ~TrayWindow();
    TrayWindow(const TrayWindow&) = delete;
    TrayWindow& operator=(const TrayWindow&) = delete;

    // The icon in its starting state; false when the shell refuses it.
    bool addIcon();
    void removeIcon();
    // The tray menu and the menu that holds it.
    void destroyMenus();

    compat::MenuHandle trayMenu() const { return m_trayMenu; }

private:
    TrayWindow(LauncherState& state, ApplicationProcess& application, compat::AppLocalServerFactory createServer);

    std::intptr_t procedure(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam);
    // False for ids that the window does not handle.
    bool runCommand(std::uintptr_t id);
    void reportStatus(unsigned status);
    void toggleLogonLaunch();
    void showTrayMenu(int x, int y);
    void exit();
    // The icon's record with the fields every change sets.
    compat::NotifyIconData iconRecord() const;

    LauncherState& m_state;
    ApplicationProcess& m_application;
    compat::AppLocalServerFactory m_createServer;
    compat::WindowHandle m_window = 0;
    compat::MenuHandle m_menu = 0;      // menu 131
    compat::MenuHandle m_trayMenu = 0;  // its first submenu, the one shown
    bool m_exiting = false;             // Exit has begun
    bool m_destroying = false;          // the destructor runs
};

}  // namespace ovix
