#pragma once
// A desktop's org.freedesktop.Notifications, for tests: it records each
// notice and each close, answers with ids of its own, and says whether it
// reads markup in the body.

#include <cstdint>
#include <memory>
#include <string>

#include "testing/desktopbus/BusRecord.h"
#include "testing/desktopbus/TestBusService.h"

namespace ovix::testing {

struct Notification {
    std::string app;
    std::uint32_t replaces = 0;
    std::string icon;
    std::string summary;
    std::string body;
    std::int32_t timeoutMs = 0;
    std::uint32_t id = 0;  // the server's answer
};

class TestNotificationServer {
public:
    TestNotificationServer(const std::string& address, bool readsMarkup);

    bool owned() const { return m_service && m_service->owned(); }
    const BusRecord<Notification>& notified() const { return m_notified; }
    // The ids of the notices closed, in order.
    const BusRecord<std::uint32_t>& closed() const { return m_closed; }

private:
    static int onNotify(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onCloseNotification(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onGetCapabilities(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onGetServerInformation(sd_bus_message* call, void* self, sd_bus_error* error);

    bool m_readsMarkup;
    std::uint32_t m_lastId = 0;  // bus thread only
    BusRecord<Notification> m_notified;
    BusRecord<std::uint32_t> m_closed;
    std::unique_ptr<TestBusService> m_service;  // last: it calls into the records
};

}  // namespace ovix::testing
