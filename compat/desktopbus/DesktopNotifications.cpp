#include "compat/desktopbus/DesktopNotifications.h"

#include <string_view>

namespace compat {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

}  // namespace

std::string markupEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

DesktopNotifications::DesktopNotifications(sd_bus* bus, std::string appName,
                                           std::function<void(const std::string&)> unavailable)
    : m_bus(bus), m_appName(std::move(appName)), m_unavailable(std::move(unavailable)) {}

void DesktopNotifications::show(unsigned key, Notice notice) {
    m_requests.push_back(Request{key, std::move(notice)});
    sendNext();
}

void DesktopNotifications::close(unsigned key) {
    m_requests.push_back(Request{key, std::nullopt});
    sendNext();
}

void DesktopNotifications::sendNext() {
    while (!m_call && !m_requests.empty()) {
        sd_bus_slot* slot = nullptr;
        if (!m_markup) {
            if (sd_bus_call_method_async(m_bus, &slot, kService, kPath, kService, "GetCapabilities", onCapabilities,
                                         this, "") < 0) {
                m_requests.clear();
                return;
            }
            m_call.reset(slot);
            return;
        }
        Request request = std::move(m_requests.front());
        m_requests.pop_front();
        if (!request.notice) {
            const auto shown = m_shown.find(request.key);
            if (shown != m_shown.end()) {
                sd_bus_call_method_async(m_bus, nullptr, kService, kPath, kService, "CloseNotification", nullptr,
                                         nullptr, "u", shown->second);
                m_shown.erase(shown);
            }
            continue;
        }
        const Notice& notice = *request.notice;
        const auto shown = m_shown.find(request.key);
        const std::uint32_t replaces = shown == m_shown.end() ? 0 : shown->second;
        const std::string body = *m_markup ? markupEscaped(notice.body) : notice.body;
        // No actions, no hints.
        if (sd_bus_call_method_async(m_bus, &slot, kService, kPath, kService, "Notify", onNotified, this,
                                     "susssasa{sv}i", m_appName.c_str(), replaces, notice.icon.c_str(),
                                     notice.summary.c_str(), body.c_str(), 0, 0,
                                     static_cast<std::int32_t>(notice.timeoutMs)) < 0)
            continue;
        m_sentKey = request.key;
        m_call.reset(slot);
    }
}

bool DesktopNotifications::answered(sd_bus_message* reply) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (!error)
        return true;
    if (m_unavailable)
        m_unavailable(error->name ? error->name : "no answer");
    return false;
}

int DesktopNotifications::onCapabilities(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& notifications = *static_cast<DesktopNotifications*>(self);
    notifications.m_call.reset();
    if (!notifications.answered(reply)) {
        // No one to show them to; the next notice asks again.
        notifications.m_requests.clear();
        return 0;
    }
    bool markup = false;
    const char* capability = nullptr;
    if (sd_bus_message_enter_container(reply, 'a', "s") > 0) {
        while (sd_bus_message_read_basic(reply, 's', &capability) > 0)
            markup = markup || std::string_view(capability) == "body-markup";
    }
    notifications.m_markup = markup;
    notifications.sendNext();
    return 0;
}

int DesktopNotifications::onNotified(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& notifications = *static_cast<DesktopNotifications*>(self);
    notifications.m_call.reset();
    std::uint32_t id = 0;
    if (notifications.answered(reply) && sd_bus_message_read(reply, "u", &id) > 0 &&
        notifications.m_sentKey != kNoKey)
        notifications.m_shown[notifications.m_sentKey] = id;
    notifications.sendNext();
    return 0;
}

}  // namespace compat
