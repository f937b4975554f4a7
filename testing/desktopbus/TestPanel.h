#pragma once
// A panel that shows status notifier items, for tests, on the test's own
// thread: it reads an item's properties and its menu's layout, calls their
// methods as a user's clicks would, and counts the item's signals. Every call
// waits for its answer (at most compat::SessionBus::kCallLimit); signals are
// taken in while the test waits for them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compat/desktopbus/SessionBus.h"

namespace ovix::testing {

struct Pixmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;
};

// An entry of the menu's top level.
struct MenuEntry {
    std::int32_t id = 0;
    std::string label;
    std::string type;  // "separator", or empty for a plain item
};

class TestPanel {
public:
    explicit TestPanel(const std::string& address);
    ~TestPanel();
    TestPanel(const TestPanel&) = delete;
    TestPanel& operator=(const TestPanel&) = delete;

    bool connected() const { return m_bus != nullptr; }

    // Properties of the item at `service`; empty when they cannot be read.
    std::string text(const std::string& service, const char* property);
    std::string menuPath(const std::string& service);
    std::string toolTipTitle(const std::string& service);
    std::vector<Pixmap> iconPixmap(const std::string& service);
    // The top level of the item's menu.
    std::vector<MenuEntry> menu(const std::string& service);

    // Calls a method of the item (callItem) or of its menu (callMenu) with
    // arguments of sd-bus `types`; the error's name, empty when it succeeded.
    std::string callItem(const std::string& service, const char* member, const char* types, ...);
    std::string callMenu(const std::string& service, const char* member, const char* types, ...);

    // Takes in messages until the item has sent `count` signals `member` in
    // all; whether it has.
    bool waitForItemSignal(const std::string& member, std::size_t count);

private:
    static int onItemSignal(sd_bus_message* signal, void* self, sd_bus_error* error);

    std::string call(const std::string& service, const char* path, const char* interface, const char* member,
                     const char* types, va_list arguments);
    compat::BusMessage property(const std::string& service, const char* property, const char* type);

    sd_bus* m_bus = nullptr;
    compat::BusSlot m_signalMatch;
    std::map<std::string, std::size_t> m_signals;
};

}  // namespace ovix::testing
