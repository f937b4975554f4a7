#include "testing/desktopbus/TestPanel.h"

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <string_view>

namespace ovix::testing {

namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr std::chrono::seconds kSignalLimit{10};

struct BusErrorFree {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~BusErrorFree() { sd_bus_error_free(&error); }
};

}  // namespace

TestPanel::TestPanel(const std::string& address) {
    if (sd_bus_new(&m_bus) < 0)
        return;
    if (sd_bus_set_address(m_bus, address.c_str()) < 0 || sd_bus_set_bus_client(m_bus, 1) < 0 ||
        sd_bus_set_method_call_timeout(
            m_bus, std::chrono::microseconds(compat::SessionBus::kCallLimit).count()) < 0 ||
        sd_bus_start(m_bus) < 0) {
        m_bus = sd_bus_close_unref(m_bus);
        return;
    }
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(m_bus, &slot, nullptr, kItemPath, kItemInterface, nullptr, onItemSignal, this) >= 0)
        m_signalMatch.reset(slot);
}

TestPanel::~TestPanel() {
    m_signalMatch.reset();
    sd_bus_close_unref(m_bus);
}

compat::BusMessage TestPanel::property(const std::string& service, const char* name, const char* type) {
    BusErrorFree error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_get_property(m_bus, service.c_str(), kItemPath, kItemInterface, name, &error.error, &reply, type) < 0)
        return nullptr;
    return compat::BusMessage(reply);
}

std::string TestPanel::text(const std::string& service, const char* name) {
    const auto reply = property(service, name, "s");
    const char* value = nullptr;
    return reply && sd_bus_message_read(reply.get(), "s", &value) > 0 ? value : "";
}

std::string TestPanel::menuPath(const std::string& service) {
    const auto reply = property(service, "Menu", "o");
    const char* value = nullptr;
    return reply && sd_bus_message_read(reply.get(), "o", &value) > 0 ? value : "";
}

std::string TestPanel::toolTipTitle(const std::string& service) {
    const auto reply = property(service, "ToolTip", "(sa(iiay)ss)");
    const char* icon = nullptr;
    const char* title = nullptr;
    const char* description = nullptr;
    if (!reply || sd_bus_message_enter_container(reply.get(), 'r', "sa(iiay)ss") <= 0 ||
        sd_bus_message_read(reply.get(), "s", &icon) <= 0 || sd_bus_message_skip(reply.get(), "a(iiay)") < 0 ||
        sd_bus_message_read(reply.get(), "ss", &title, &description) <= 0)
        return "";
    return title;
}

std::vector<Pixmap> TestPanel::iconPixmap(const std::string& service) {
    std::vector<Pixmap> pixmaps;
    const auto reply = property(service, "IconPixmap", "a(iiay)");
    if (!reply || sd_bus_message_enter_container(reply.get(), 'a', "(iiay)") <= 0)
        return pixmaps;
    while (sd_bus_message_enter_container(reply.get(), 'r', "iiay") > 0) {
        Pixmap pixmap;
        const void* bytes = nullptr;
        std::size_t size = 0;
        if (sd_bus_message_read(reply.get(), "ii", &pixmap.width, &pixmap.height) <= 0 ||
            sd_bus_message_read_array(reply.get(), 'y', &bytes, &size) < 0)
            break;
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        pixmap.bytes.assign(first, first + size);
        pixmaps.push_back(std::move(pixmap));
        sd_bus_message_exit_container(reply.get());
    }
    return pixmaps;
}

std::vector<MenuEntry> TestPanel::menu(const std::string& service) {
    std::vector<MenuEntry> entries;
    const std::string path = menuPath(service);
    if (path.empty())
        return entries;
    BusErrorFree error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(m_bus, service.c_str(), path.c_str(), kMenuInterface, "GetLayout", &error.error, &reply,
                           "iias", 0, -1, 0) < 0)
        return entries;
    const compat::BusMessage owned(reply);
    std::uint32_t revision = 0;
    std::int32_t root = 0;
    if (sd_bus_message_read(reply, "u", &revision) <= 0 ||
        sd_bus_message_enter_container(reply, 'r', "ia{sv}av") <= 0 || sd_bus_message_read(reply, "i", &root) <= 0 ||
        sd_bus_message_skip(reply, "a{sv}") < 0 || sd_bus_message_enter_container(reply, 'a', "v") <= 0)
        return entries;
    while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
        MenuEntry entry;
        if (sd_bus_message_enter_container(reply, 'r', "ia{sv}av") <= 0 ||
            sd_bus_message_read(reply, "i", &entry.id) <= 0 || sd_bus_message_enter_container(reply, 'a', "{sv}") <= 0)
            break;
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* key = nullptr;
            const char* value = nullptr;
            sd_bus_message_read(reply, "s", &key);
            const std::string_view name = key ? key : "";
            if ((name == "label" || name == "type") && sd_bus_message_read(reply, "v", "s", &value) > 0)
                (name == "label" ? entry.label : entry.type) = value;
            else
                sd_bus_message_skip(reply, "v");
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
        sd_bus_message_skip(reply, "av");
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string TestPanel::call(const std::string& service, const char* path, const char* interface, const char* member,
                            const char* types, va_list arguments) {
    BusErrorFree error;
    sd_bus_message* reply = nullptr;
    const int result =
        sd_bus_call_methodv(m_bus, service.c_str(), path, interface, member, &error.error, &reply, types, arguments);
    sd_bus_message_unref(reply);
    if (result >= 0)
        return "";
    return error.error.name ? error.error.name : "(not sent)";
}

std::string TestPanel::callItem(const std::string& service, const char* member, const char* types, ...) {
    va_list arguments;
    va_start(arguments, types);
    std::string error = call(service, kItemPath, kItemInterface, member, types, arguments);
    va_end(arguments);
    return error;
}

std::string TestPanel::callMenu(const std::string& service, const char* member, const char* types, ...) {
    const std::string path = menuPath(service);
    va_list arguments;
    va_start(arguments, types);
    std::string error = call(service, path.c_str(), kMenuInterface, member, types, arguments);
    va_end(arguments);
    return error;
}

bool TestPanel::waitForItemSignal(const std::string& member, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kSignalLimit;
    while (m_signals[member] < count) {
        const int processed = sd_bus_process(m_bus, nullptr);
        if (processed < 0)
            return false;
        if (processed > 0)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || sd_bus_wait(m_bus, static_cast<std::uint64_t>(left.count())) < 0)
            return false;
    }
    return true;
}

int TestPanel::onItemSignal(sd_bus_message* signal, void* self, sd_bus_error*) {
    ++static_cast<TestPanel*>(self)->m_signals[sd_bus_message_get_member(signal)];
    return 0;
}

}  // namespace ovix::testing
