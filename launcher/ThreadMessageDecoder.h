#pragma once
// What the launcher's threads do with a thread message (one with no window).

#include <cstdint>
#include <functional>

#include "compat/ipc/MessageQueue.h"
#include "launcher/AppIds.h"

namespace ovix {

// Where a decoded message goes on.
struct Relay {
    enum class To { Nowhere, Application, MainWindow, Watchdog };
    To to = To::Nowhere;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Whether a message from process `sender` comes from the main application.
using ApplicationSender = std::function<bool(std::uint32_t sender)>;

// The main thread decodes by the word parameter alone, whatever the message
// number: the application's id halves update `ids`, when they come from the
// application (others are dropped); quit goes on to the application; every
// other code becomes WM_COMMAND of the main window (status reports and tray
// commands).
Relay decodeMainThreadMessage(const compat::Message& message, AppIds& ids, const ApplicationSender& isApplication);

// The monitor thread: its timer runs the watchdog; WM_USER below 100 is a
// status report for the main window, WM_USER from 100 up is dropped; every
// other message goes to the main window unchanged.
Relay decodeMonitorThreadMessage(const compat::Message& message);

}  // namespace ovix
