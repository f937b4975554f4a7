#include "testing/desktopbus/TestNotificationServer.h"

namespace ovix::testing {

namespace {

constexpr const char* kName = "org.freedesktop.Notifications";

}  // namespace

TestNotificationServer::TestNotificationServer(const std::string& address, bool readsMarkup)
    : m_readsMarkup(readsMarkup) {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", onNotify, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("CloseNotification", "u", "", onCloseNotification, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetCapabilities", "", "as", onGetCapabilities, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetServerInformation", "", "ssss", onGetServerInformation, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("NotificationClosed", "uu", 0),
        SD_BUS_SIGNAL("ActionInvoked", "us", 0),
        SD_BUS_VTABLE_END};
    m_service = std::make_unique<TestBusService>(address, kName, "/org/freedesktop/Notifications", kName, vtable, this);
}

int TestNotificationServer::onNotify(sd_bus_message* call, void* self, sd_bus_error*) {
    auto& server = *static_cast<TestNotificationServer*>(self);
    Notification notice;
    const char* app = nullptr;
    const char* icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    int result = sd_bus_message_read(call, "susss", &app, &notice.replaces, &icon, &summary, &body);
    if (result >= 0)
        result = sd_bus_message_skip(call, "asa{sv}");
    if (result >= 0)
        result = sd_bus_message_read(call, "i", &notice.timeoutMs);
    if (result < 0)
        return result;
    notice.app = app;
    notice.icon = icon;
    notice.summary = summary;
    notice.body = body;
    notice.id = notice.replaces != 0 ? notice.replaces : ++server.m_lastId;
    const std::uint32_t id = notice.id;
    server.m_notified.add(std::move(notice));
    return sd_bus_reply_method_return(call, "u", id);
}

int TestNotificationServer::onCloseNotification(sd_bus_message* call, void* self, sd_bus_error*) {
    std::uint32_t id = 0;
    const int result = sd_bus_message_read(call, "u", &id);
    if (result < 0)
        return result;
    static_cast<TestNotificationServer*>(self)->m_closed.add(id);
    return sd_bus_reply_method_return(call, "");
}

int TestNotificationServer::onGetCapabilities(sd_bus_message* call, void* self, sd_bus_error*) {
    return static_cast<TestNotificationServer*>(self)->m_readsMarkup
               ? sd_bus_reply_method_return(call, "as", 2, "body", "body-markup")
               : sd_bus_reply_method_return(call, "as", 1, "body");
}

int TestNotificationServer::onGetServerInformation(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "ssss", "test notices", "ovix", "1", "1.2");
}

}  // namespace ovix::testing
