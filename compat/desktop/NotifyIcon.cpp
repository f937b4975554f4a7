#include "compat/desktop/NotifyIcon.h"

#include <map>
#include <mutex>
#include <utility>

#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/DesktopPresenter.h"
#include "compat/desktop/SimulatedInput.h"
#include "compat/ipc/MessageWindow.h"

namespace compat {

namespace {

// The sizes of the fixed text fields of the record, terminator included.
constexpr std::size_t kTipCapacity = 128;
constexpr std::size_t kInfoCapacity = 256;
constexpr std::size_t kInfoTitleCapacity = 64;

std::mutex g_lock;
std::map<std::pair<WindowHandle, unsigned>, NotifyIconData> g_icons;

std::string cut(const std::string& text, std::size_t capacity) {
    return text.substr(0, std::min(text.size(), capacity - 1));
}

void take(NotifyIconData& icon, const NotifyIconData& change) {
    if (change.flags & NIF_MESSAGE)
        icon.callbackMessage = change.callbackMessage;
    if (change.flags & NIF_ICON)
        icon.icon = change.icon;
    if (change.flags & NIF_TIP)
        icon.tip = cut(change.tip, kTipCapacity);
    if (change.flags & NIF_INFO) {
        icon.info = cut(change.info, kInfoCapacity);
        icon.infoTitle = cut(change.infoTitle, kInfoTitleCapacity);
        icon.timeoutMs = change.timeoutMs;
        icon.infoFlags = change.infoFlags;
    }
    icon.flags |= change.flags;
}

// The fields that the change set, as they now stand.
std::string describe(const char* action, const NotifyIconData& icon, unsigned flags) {
    std::string line = std::string("notify-icon ") + action + " id=" + std::to_string(icon.id);
    if (flags & NIF_ICON)
        line += " icon=" + std::to_string(icon.icon);
    if (flags & NIF_TIP)
        line += " tip=" + journalQuote(icon.tip);
    if (flags & NIF_INFO)
        line += " balloon-title=" + journalQuote(icon.infoTitle) + " balloon=" + journalQuote(icon.info);
    return line;
}

}  // namespace

bool Shell_NotifyIcon(std::uint32_t action, const NotifyIconData& data) {
    std::lock_guard lock(g_lock);
    const auto key = std::make_pair(data.window, data.id);
    auto found = g_icons.find(key);
    NotifyIconData icon;
    std::string line;
    switch (action) {
        case NIM_ADD:
            if (found != g_icons.end())
                return false;
            icon.window = data.window;
            icon.id = data.id;
            take(icon, data);
            line = describe("add", icon, data.flags);
            g_icons.emplace(key, icon);
            break;
        case NIM_MODIFY:
            if (found == g_icons.end())
                return false;
            take(found->second, data);
            icon = found->second;
            line = describe("modify", icon, data.flags);
            break;
        case NIM_DELETE:
            if (found == g_icons.end())
                return false;
            icon = found->second;
            line = describe("delete", icon, 0);
            g_icons.erase(found);
            break;
        default:
            return false;
    }
    // Under the lock, so that the journal and the desktop keep the order of
    // the changes.
    recordDesktopEvent(line);
    presentOnDesktop([&](DesktopPresenter& desktop) { desktop.showNotifyIcon(action, icon, data.flags); });
    return true;
}

std::optional<NotifyIconData> notifyIcon(WindowHandle window, unsigned id) {
    std::lock_guard lock(g_lock);
    auto found = g_icons.find({window, id});
    if (found == g_icons.end())
        return std::nullopt;
    return found->second;
}

bool setNotifyIconMenu(WindowHandle window, unsigned id, MenuHandle menu) {
    std::lock_guard lock(g_lock);
    if (!g_icons.count({window, id}))
        return false;
    presentOnDesktop([&](DesktopPresenter& desktop) { desktop.showNotifyIconMenu(window, id, menu); });
    return true;
}

bool clickNotifyIcon(WindowHandle window, unsigned id, std::uint32_t mouseMessage) {
    const auto icon = notifyIcon(window, id);
    if (!icon || !(icon->flags & NIF_MESSAGE))
        return false;
    return PostMessage(window, icon->callbackMessage, id, mouseMessage);
}

}  // namespace compat
