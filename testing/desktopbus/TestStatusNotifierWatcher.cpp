#include "testing/desktopbus/TestStatusNotifierWatcher.h"

#include <string_view>

namespace ovix::testing {

namespace {

constexpr const char* kName = "org.kde.StatusNotifierWatcher";

}  // namespace

TestStatusNotifierWatcher::TestStatusNotifierWatcher(const std::string& address) {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", onRegisterItem, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("RegisterStatusNotifierHost", "s", "", onRegisterHost, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_PROPERTY("RegisteredStatusNotifierItems", "as", onProperty, 0, 0),
        SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", onProperty, 0, 0),
        SD_BUS_PROPERTY("ProtocolVersion", "i", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_SIGNAL("StatusNotifierItemRegistered", "s", 0),
        SD_BUS_SIGNAL("StatusNotifierItemUnregistered", "s", 0),
        SD_BUS_SIGNAL("StatusNotifierHostRegistered", "", 0),
        SD_BUS_VTABLE_END};
    m_service = std::make_unique<TestBusService>(address, kName, "/StatusNotifierWatcher", kName, vtable, this);
}

int TestStatusNotifierWatcher::onRegisterItem(sd_bus_message* call, void* self, sd_bus_error*) {
    const char* service = nullptr;
    const int result = sd_bus_message_read(call, "s", &service);
    if (result < 0)
        return result;
    static_cast<TestStatusNotifierWatcher*>(self)->m_registered.add(service);
    sd_bus_emit_signal(sd_bus_message_get_bus(call), "/StatusNotifierWatcher", kName, "StatusNotifierItemRegistered",
                       "s", service);
    return sd_bus_reply_method_return(call, "");
}

int TestStatusNotifierWatcher::onRegisterHost(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
}

int TestStatusNotifierWatcher::onProperty(sd_bus*, const char*, const char*, const char* property,
                                          sd_bus_message* reply, void* self, sd_bus_error*) {
    const std::string_view name = property;
    if (name == "IsStatusNotifierHostRegistered")
        return sd_bus_message_append(reply, "b", 1);
    if (name == "ProtocolVersion")
        return sd_bus_message_append(reply, "i", 0);
    int result = sd_bus_message_open_container(reply, 'a', "s");
    for (const auto& service : static_cast<TestStatusNotifierWatcher*>(self)->m_registered.entries()) {
        if (result >= 0)
            result = sd_bus_message_append(reply, "s", service.c_str());
    }
    return result < 0 ? result : sd_bus_message_close_container(reply);
}

}  // namespace ovix::testing
