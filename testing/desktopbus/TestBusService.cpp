#include "testing/desktopbus/TestBusService.h"

#include <chrono>

namespace ovix::testing {

TestBusService::TestBusService(const std::string& address, const char* name, const char* path,
                               const char* interface, const sd_bus_vtable* vtable, void* handlers) {
    m_bus = compat::SessionBus::open(address, {.settled = {}, .ended = [this](const std::string&) {
                                                   m_nameCall.reset();
                                                   m_object.reset();
                                               }});
    if (!m_bus)
        return;
    auto answer = m_nameAnswer.get_future();
    m_bus->post([=, this](sd_bus* bus) {
        sd_bus_slot* object = nullptr;
        sd_bus_slot* call = nullptr;
        if (sd_bus_add_object_vtable(bus, &object, path, interface, vtable, handlers) < 0 ||
            sd_bus_request_name_async(bus, &call, name, 0, onNameReply, this) < 0) {
            sd_bus_slot_unref(object);
            m_nameAnswer.set_value(false);
            return;
        }
        m_object.reset(object);
        m_nameCall.reset(call);
    });
    m_owned = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready && answer.get();
}

TestBusService::~TestBusService() {
    m_bus.reset();
}

int TestBusService::onNameReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    // 1: the name is the service's, as the first owner.
    std::uint32_t answer = 0;
    static_cast<TestBusService*>(self)->m_nameAnswer.set_value(!sd_bus_message_is_method_error(reply, nullptr) &&
                                                               sd_bus_message_read(reply, "u", &answer) > 0 &&
                                                               answer == 1);
    return 0;
}

}  // namespace ovix::testing
