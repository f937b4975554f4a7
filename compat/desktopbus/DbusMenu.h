#pragma once
// A menu of the headless model (Menu.h) published over com.canonical.dbusmenu,
// for a panel that shows an icon's menu itself. The layout is read from the
// model at each request, so a changed menu shows as it now is; a panel that
// asks before it opens the menu (AboutToShow) learns of a change. A click
// calls the handler with the item's command id. On the bus thread only.

#include <cstdint>
#include <functional>
#include <string>

#include "compat/desktop/Menu.h"
#include "compat/desktopbus/SessionBus.h"

namespace compat {

class DbusMenu {
public:
    static constexpr const char* kPath = "/MenuBar";

    // Exports an empty menu at kPath.
    DbusMenu(sd_bus* bus, std::function<void(unsigned command)> clicked);
    DbusMenu(const DbusMenu&) = delete;
    DbusMenu& operator=(const DbusMenu&) = delete;

    // Publishes `menu` (0: none) in place of the one before.
    void show(MenuHandle menu);

private:
    struct Tree;

    static int onGetLayout(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onGetGroupProperties(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onGetProperty(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onEvent(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onEventGroup(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onAboutToShow(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onAboutToShowGroup(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onProperty(sd_bus* bus, const char* path, const char* interface, const char* property,
                          sd_bus_message* reply, void* self, sd_bus_error* error);
    static const sd_bus_vtable* vtable();

    // Whether `id` names an item; a click on a command runs it.
    bool event(const Tree& tree, std::int32_t id, const std::string& kind);
    // Whether the menu differs from the layout last given out; if so a new
    // revision is announced.
    bool refresh(const Tree& tree);

    sd_bus* m_bus;
    std::function<void(unsigned)> m_clicked;
    MenuHandle m_menu = 0;
    std::uint32_t m_revision = 1;
    std::string m_given;  // the layout last given out, as text
    BusSlot m_object;
};

// A menu item's text as a dbusmenu label: the mnemonic "&x" becomes "_x",
// "&&" a plain "&", and a plain "_" is doubled.
std::string dbusMenuLabel(const std::string& text);

}  // namespace compat
