#include "compat/desktopbus/SessionBusDesktop.h"

#include <cerrno>
#include <climits>
#include <map>

#include "compat/desktopbus/DbusMenu.h"
#include "compat/desktopbus/DesktopNotifications.h"
#include "compat/desktopbus/StatusNotifierItem.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/system/SystemError.h"

namespace compat {

namespace {

// The balloon of the icon shown: a new one replaces it.
constexpr unsigned kBalloonKey = 1;
constexpr unsigned kBalloonIconMask = 0x03;

// A screen point as a message's long parameter: x in the low word, y in the
// high word.
std::intptr_t pointParameter(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                                      static_cast<std::uint16_t>(x));
}

}  // namespace

// What lives on the bus thread: the item, its menu, the notices, and the
// icon they show.
struct SessionBusDesktop::OnBus {
    OnBus(sd_bus* bus, SessionBusDesktop& desktop)
        : owner(desktop),
          item(bus, desktop.m_settings.appName, DbusMenu::kPath,
               StatusNotifierItem::Handlers{
                   .activate =
                       [this](int, int) {
                           if (icon.flags & NIF_MESSAGE)
                               PostMessage(icon.window, icon.callbackMessage, icon.id, WM_LBUTTONDBLCLK);
                       },
                   .contextMenu =
                       [this](int x, int y) {
                           PostMessage(icon.window, WM_CONTEXTMENU, icon.window, pointParameter(x, y));
                       },
                   .noWatcher =
                       [&desktop](const std::string& reason) {
                           desktop.reportOnce("watcher", "no StatusNotifierWatcher on the session bus (" + reason +
                                                             "): the icon shows once a panel starts one");
                       }}),
          menu(bus, [this](unsigned command) { PostMessage(menuOwner, WM_COMMAND, command, 0); }),
          notifications(bus, desktop.m_settings.appName, [&desktop](const std::string& reason) {
              desktop.reportOnce("notifications", "no notification service on the session bus (" + reason +
                                                      "): balloons and messages are not shown");
          }) {}

    void showIcon(std::uint32_t action, const NotifyIconData& shown, unsigned changed) {
        icon = shown;
        if (action == NIM_DELETE) {
            item.hide();
            menuOwner = 0;
            menu.show(0);
            notifications.close(kBalloonKey);
            return;
        }
        StatusNotifierItem::Look look{images(), icon.tip};
        if (action == NIM_ADD)
            item.show(std::move(look));
        else if (changed & (NIF_ICON | NIF_TIP))
            item.change(std::move(look));
        if (changed & NIF_INFO)
            showBalloon();
    }

    void showBalloon() {
        if (icon.info.empty()) {
            notifications.close(kBalloonKey);
            return;
        }
        const bool information = (icon.infoFlags & kBalloonIconMask) == NIIF_INFO;
        const int timeoutMs = icon.timeoutMs == 0 ? -1 : static_cast<int>(std::min<unsigned>(icon.timeoutMs, INT_MAX));
        notifications.show(kBalloonKey, {icon.infoTitle, icon.info, information ? "dialog-information" : "", timeoutMs});
    }

    // The icon's pictures, drawn once for each resource.
    const std::vector<IconImage>& images() {
        static const std::vector<IconImage> none;
        if (!(icon.flags & NIF_ICON) || !owner.m_settings.icons)
            return none;
        auto found = drawn.find(icon.icon);
        if (found == drawn.end())
            found = drawn.emplace(icon.icon, owner.m_settings.icons(icon.icon)).first;
        return found->second;
    }

    SessionBusDesktop& owner;
    std::map<unsigned, std::vector<IconImage>> drawn;
    NotifyIconData icon;          // as it was shown last
    WindowHandle menuOwner = 0;   // where menu picks go
    StatusNotifierItem item;
    DbusMenu menu;
    DesktopNotifications notifications;
};

SessionBusDesktop::SessionBusDesktop(Settings settings) : m_settings(std::move(settings)) {
    attachDesktopPresenter(this);
}

SessionBusDesktop::~SessionBusDesktop() {
    attachDesktopPresenter(nullptr);
    m_bus.reset();
}

void SessionBusDesktop::post(std::function<void(OnBus&)> task) {
    if (!m_tried) {
        m_tried = true;
        m_bus = SessionBus::open(m_settings.address,
                                 {.settled = [this] { return !m_onBus || m_onBus->notifications.settled(); },
                                  .ended =
                                      [this](const std::string& lostReason) {
                                          m_onBus.reset();
                                          if (!lostReason.empty())
                                              reportOnce("bus", "the session bus closed the connection (" +
                                                                    lostReason +
                                                                    "): the icon, its menu and the messages are "
                                                                    "off the desktop");
                                      }});
        if (!m_bus) {
            reportOnce("bus", "no session bus (" + systemErrorText(errno) +
                                  "): the icon, its menu and the messages stay off the desktop");
            return;
        }
        m_bus->post([this](sd_bus* bus) { m_onBus = std::make_unique<OnBus>(bus, *this); });
    }
    if (m_bus) {
        m_bus->post([this, task = std::move(task)](sd_bus*) {
            if (m_onBus)
                task(*m_onBus);
        });
    }
}

void SessionBusDesktop::reportOnce(const std::string& what, const std::string& sentence) {
    std::lock_guard lock(m_reportLock);
    if (m_reported.insert(what).second && m_settings.report)
        m_settings.report(sentence);
}

void SessionBusDesktop::showNotifyIcon(std::uint32_t action, const NotifyIconData& icon, unsigned changed) {
    // The first icon added is the one shown; the others stay in the model.
    const auto key = std::make_pair(icon.window, icon.id);
    if (action == NIM_ADD && !m_shownIcon)
        m_shownIcon = key;
    else if (m_shownIcon != key)
        return;
    if (action == NIM_DELETE)
        m_shownIcon.reset();
    post([action, icon, changed](OnBus& onBus) { onBus.showIcon(action, icon, changed); });
}

void SessionBusDesktop::showNotifyIconMenu(WindowHandle window, unsigned id, MenuHandle menu) {
    if (m_shownIcon != std::make_pair(window, id))
        return;
    post([window, menu](OnBus& onBus) {
        onBus.menuOwner = window;
        onBus.menu.show(menu);
    });
}

void SessionBusDesktop::showMessageBox(std::string_view caption, std::string_view text) {
    // It stays until the user closes it, as a box would.
    post([notice = DesktopNotifications::Notice{std::string(caption), std::string(text), "", 0}](OnBus& onBus) {
        onBus.notifications.show(DesktopNotifications::kNoKey, notice);
    });
}

void SessionBusDesktop::showDialog(const std::vector<std::string>& texts) {
    if (texts.empty())
        return;
    DesktopNotifications::Notice notice{texts.front(), "", "", -1};
    for (std::size_t i = 1; i < texts.size(); ++i)
        notice.body += (i > 1 ? "\n" : "") + texts[i];
    post([notice](OnBus& onBus) { onBus.notifications.show(DesktopNotifications::kNoKey, notice); });
}

}  // namespace compat
