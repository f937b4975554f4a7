#pragma once
// A panel's org.kde.StatusNotifierWatcher, for tests: it records the service
// of each item registered with it, and says that a host is there. Ending it
// and making a new one is a panel that restarts.

#include <memory>
#include <string>

#include "testing/desktopbus/BusRecord.h"
#include "testing/desktopbus/TestBusService.h"

namespace ovix::testing {

class TestStatusNotifierWatcher {
public:
    explicit TestStatusNotifierWatcher(const std::string& address);

    bool owned() const { return m_service && m_service->owned(); }
    // The services registered, in order.
    const BusRecord<std::string>& registered() const { return m_registered; }

private:
    static int onRegisterItem(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onRegisterHost(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onProperty(sd_bus* bus, const char* path, const char* interface, const char* property,
                          sd_bus_message* reply, void* self, sd_bus_error* error);

    BusRecord<std::string> m_registered;
    std::unique_ptr<TestBusService> m_service;  // last: it calls into the record
};

}  // namespace ovix::testing
