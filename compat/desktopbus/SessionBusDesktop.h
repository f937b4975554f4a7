#pragma once
// The headless desktop shown on the user's desktop over the session bus,
// beside the model (DesktopPresenter.h): the first notification icon as a
// StatusNotifierItem with its menu over com.canonical.dbusmenu, and balloons,
// message boxes and dialogs as notifications. Clicks come back as the
// messages the icon's window would get: activating the item is a double
// click (the icon's callback message with WM_LBUTTONDBLCLK), a host's request
// for a context menu is WM_CONTEXTMENU, a menu pick is WM_COMMAND.
//
// It connects at the first thing to show, on that thread, without waiting for
// the bus; all else runs on the bus's own thread. Without a bus, or without a
// watcher or a notification service on it, the model goes on alone, and
// `report` is told so once for each.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compat/desktop/DesktopPresenter.h"
#include "compat/desktopbus/IconImage.h"
#include "compat/desktopbus/SessionBus.h"

namespace compat {

class SessionBusDesktop : public DesktopPresenter {
public:
    struct Settings {
        std::string address;  // the bus; empty: the user's session bus
        std::string appName;  // the item's id and title, the notices' sender
        // The pictures of an icon resource, in each size it comes in.
        std::function<std::vector<IconImage>(unsigned resource)> icons;
        // What is missing, in a sentence; from any thread.
        std::function<void(const std::string& what)> report;
    };

    // Attaches itself to the model.
    explicit SessionBusDesktop(Settings settings);
    // Detaches, then ends the connection: what is on its way is given a
    // moment (SessionBus::kEndingLimit) to leave.
    ~SessionBusDesktop() override;
    SessionBusDesktop(const SessionBusDesktop&) = delete;
    SessionBusDesktop& operator=(const SessionBusDesktop&) = delete;

    void showNotifyIcon(std::uint32_t action, const NotifyIconData& icon, unsigned changed) override;
    void showNotifyIconMenu(WindowHandle window, unsigned id, MenuHandle menu) override;
    void showMessageBox(std::string_view caption, std::string_view text) override;
    void showDialog(const std::vector<std::string>& texts) override;

private:
    struct OnBus;

    // Runs `task` with the bus-side objects; connects first when this is the
    // first thing to show. Dropped without a bus.
    void post(std::function<void(OnBus&)> task);
    void reportOnce(const std::string& what, const std::string& sentence);

    Settings m_settings;
    // Touched by the model's calls, which come one at a time.
    bool m_tried = false;
    std::unique_ptr<SessionBus> m_bus;
    std::optional<std::pair<WindowHandle, unsigned>> m_shownIcon;
    // On the bus thread only.
    std::unique_ptr<OnBus> m_onBus;

    std::mutex m_reportLock;
    std::set<std::string> m_reported;
};

}  // namespace compat
