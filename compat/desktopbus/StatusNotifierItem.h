#pragma once
// The notification-area icon as a StatusNotifierItem on the session bus: the
// object /StatusNotifierItem under a bus name of its own, registered with the
// panel's org.kde.StatusNotifierWatcher, and registered again whenever a
// watcher appears (a panel that starts later, or restarts). Hosts read its
// icon, tool tip and menu path as properties and learn of changes by its
// NewIcon and NewToolTip signals. On the bus thread only.

#include <functional>
#include <string>
#include <vector>

#include "compat/desktopbus/IconImage.h"
#include "compat/desktopbus/SessionBus.h"

namespace compat {

class StatusNotifierItem {
public:
    struct Look {
        std::vector<IconImage> images;  // the icon in each size it comes in
        std::string toolTip;
    };
    struct Handlers {
        std::function<void(int x, int y)> activate;     // the user's primary click
        std::function<void(int x, int y)> contextMenu;  // from a host that shows no menu of its own
        std::function<void(const std::string& reason)> noWatcher;
    };

    // Watches for watchers and shows nothing yet. `id` is the item's id and
    // title, `menuPath` the object of its menu.
    StatusNotifierItem(sd_bus* bus, std::string id, std::string menuPath, Handlers handlers);
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Takes a bus name, exports the item and registers it.
    void show(Look look);
    // Takes the new look; hosts are told of what differs.
    void change(Look look);
    // Withdraws the item: its name goes, and the watcher drops it.
    void hide();

private:
    static int onProperty(sd_bus* bus, const char* path, const char* interface, const char* property,
                          sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onPointerMethod(sd_bus_message* call, void* self, sd_bus_error* error);
    static int onIgnoredMethod(sd_bus_message* call, void* self, sd_bus_error* error);
    static const sd_bus_vtable* vtable();

    static int onWatcherOwner(sd_bus_message* signal, void* self, sd_bus_error* error);
    static int onNameReply(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onRegisterReply(sd_bus_message* reply, void* self, sd_bus_error* error);

    void registerWithWatcher();

    sd_bus* m_bus;
    std::string m_id;
    std::string m_menuPath;
    Handlers m_handlers;
    Look m_look;
    std::string m_name;        // the bus name asked for the item shown; empty when hidden
    std::string m_registered;  // the name it is registered under, once the name request is answered
    unsigned m_shown = 0;      // how many times it was shown: each time under a new name
    BusSlot m_watcherMatch;
    BusSlot m_object;
    BusSlot m_nameCall;
    BusSlot m_registerCall;
};

}  // namespace compat
