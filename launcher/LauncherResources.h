#pragma once
// The launcher's resources: its icons, texts, tray menu and About dialog.

#include <cstdint>

#include "compat/desktop/Dialog.h"
#include "compat/desktop/Menu.h"
#include "compat/ipc/MessageQueue.h"

namespace ovix {

// The main window's title (string 103), which is also the launcher's name on
// the desktop.
inline constexpr const char* kWindowTitle = "MorvaneLaunch";

// Icons by application status: 120 online, 121 starting or offline, 122 new
// messages.
inline constexpr unsigned IDI_ONLINE = 120;
inline constexpr unsigned IDI_STARTING = 121;
inline constexpr unsigned IDI_NEW_MESSAGES = 122;

// The notification icon: its id and the message that brings its callbacks.
inline constexpr unsigned kTrayIconId = 121;
inline constexpr std::uint32_t WM_TRAYNOTIFY = compat::WM_USER + 2;
inline constexpr unsigned kBalloonTimeoutMs = 15000;

inline constexpr const char* kStartingTip = "Morvane is starting";
inline constexpr const char* kStartingBalloonTitle = "Morvane is starting";
inline constexpr const char* kStartingBalloon = "Please wait...";
inline constexpr const char* kUpBalloonTitle = "Morvane is up";
inline constexpr const char* kUpBalloon =
    "Morvane is opening in your default browser.  Right-click the icon below at any time to control Morvane."
    "\n\n"
    "Please report problems and send us your feedback at support@dastel.example.";

// The application's statuses, as its reports carry them.
inline constexpr unsigned kStatusOnline = 0;
inline constexpr unsigned kStatusOffline = 1;
inline constexpr unsigned kStatusNewMessages = 2;

// The tip of a status (strings 140 to 142); null for a status the launcher
// does not know.
const char* statusTip(unsigned status);

inline constexpr unsigned IDD_ABOUTBOX = 103;
inline constexpr unsigned IDB_ABOUT = 130;
inline constexpr const char* kVersionText = "0.8.4.trunk.r4395";

// Menu 131: one popup, "Open Morvane", "Help", a separator, "About..." and
// "Exit". 0 when it cannot be made.
compat::MenuHandle loadTrayMenuResource();

// Dialog 103: a borderless, centred pop-up with the About bitmap, a notice
// line and the version text.
compat::DialogTemplate aboutDialogResource();

}  // namespace ovix
