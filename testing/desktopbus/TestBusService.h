#pragma once
// A service that a test plays on a bus, on a connection and thread of its
// own (compat::SessionBus): an object with its vtable, under a bus name.
// Ending it closes the connection, so the name leaves the bus as when the
// program behind it ends.

#include <future>
#include <memory>
#include <string>

#include "compat/desktopbus/SessionBus.h"

namespace ovix::testing {

class TestBusService {
public:
    // Exports `vtable` (its handlers get `handlers`) at `path` under
    // `interface` and takes `name`; waits until the name is its.
    TestBusService(const std::string& address, const char* name, const char* path, const char* interface,
                   const sd_bus_vtable* vtable, void* handlers);
    ~TestBusService();
    TestBusService(const TestBusService&) = delete;
    TestBusService& operator=(const TestBusService&) = delete;

    // Whether the name became the service's.
    bool owned() const { return m_owned; }

private:
    static int onNameReply(sd_bus_message* reply, void* self, sd_bus_error* error);

    std::promise<bool> m_nameAnswer;
    std::unique_ptr<compat::SessionBus> m_bus;
    compat::BusSlot m_object;    // bus thread only
    compat::BusSlot m_nameCall;  // bus thread only
    bool m_owned = false;
};

}  // namespace ovix::testing
