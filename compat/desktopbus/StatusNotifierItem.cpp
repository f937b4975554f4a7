#include "compat/desktopbus/StatusNotifierItem.h"

#include <unistd.h>

#include <string_view>

namespace compat {

namespace {

constexpr const char* kPath = "/StatusNotifierItem";
constexpr const char* kInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// RequestName's answers that make the name ours.
constexpr std::uint32_t kPrimaryOwner = 1;
constexpr std::uint32_t kAlreadyOwner = 4;

// a(iiay): each image's width, height and ARGB32 bytes.
int appendPixmaps(sd_bus_message* message, const std::vector<IconImage>& images) {
    int result = sd_bus_message_open_container(message, 'a', "(iiay)");
    for (const auto& image : images) {
        const auto bytes = pixmapBytes(image);
        if (result >= 0)
            result = sd_bus_message_open_container(message, 'r', "iiay");
        if (result >= 0)
            result = sd_bus_message_append(message, "ii", image.width, image.height);
        if (result >= 0)
            result = sd_bus_message_append_array(message, 'y', bytes.data(), bytes.size());
        if (result >= 0)
            result = sd_bus_message_close_container(message);
    }
    return result < 0 ? result : sd_bus_message_close_container(message);
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(sd_bus* bus, std::string id, std::string menuPath, Handlers handlers)
    : m_bus(bus), m_id(std::move(id)), m_menuPath(std::move(menuPath)), m_handlers(std::move(handlers)) {
    // Installed before any registration is sent, so that no watcher that
    // starts in between goes unseen.
    const std::string match = std::string(
                                  "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                                  "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") +
                              kWatcher + "'";
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_match_async(m_bus, &slot, match.c_str(), onWatcherOwner, nullptr, this) >= 0)
        m_watcherMatch.reset(slot);
}

void StatusNotifierItem::show(Look look) {
    if (!m_name.empty())
        return;
    m_look = std::move(look);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(m_bus, &slot, kPath, kInterface, vtable(), this) < 0)
        return;
    m_object.reset(slot);
    m_name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++m_shown);
    if (sd_bus_request_name_async(m_bus, &slot, m_name.c_str(), 0, onNameReply, this) >= 0)
        m_nameCall.reset(slot);
}

void StatusNotifierItem::change(Look look) {
    const bool newIcon = look.images != m_look.images;
    const bool newToolTip = look.toolTip != m_look.toolTip;
    m_look = std::move(look);
    if (!m_object)
        return;
    if (newIcon)
        sd_bus_emit_signal(m_bus, kPath, kInterface, "NewIcon", "");
    if (newToolTip)
        sd_bus_emit_signal(m_bus, kPath, kInterface, "NewToolTip", "");
}

void StatusNotifierItem::hide() {
    if (m_name.empty())
        return;
    m_object.reset();
    m_nameCall.reset();
    m_registerCall.reset();
    // Also when the request is still unanswered: the name must not stay.
    sd_bus_release_name_async(m_bus, nullptr, m_name.c_str(), nullptr, nullptr);
    m_name.clear();
    m_registered.clear();
}

void StatusNotifierItem::registerWithWatcher() {
    if (m_registered.empty())
        return;
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(m_bus, &slot, kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem",
                                 onRegisterReply, this, "s", m_registered.c_str()) >= 0)
        m_registerCall.reset(slot);
}

int StatusNotifierItem::onWatcherOwner(sd_bus_message* signal, void* self, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) >= 0 && *newOwner)
        static_cast<StatusNotifierItem*>(self)->registerWithWatcher();
    return 0;
}

int StatusNotifierItem::onNameReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& item = *static_cast<StatusNotifierItem*>(self);
    std::uint32_t answer = 0;
    const bool owned = !sd_bus_message_is_method_error(reply, nullptr) &&
                       sd_bus_message_read(reply, "u", &answer) >= 0 &&
                       (answer == kPrimaryOwner || answer == kAlreadyOwner);
    // Without a name of its own the item goes by the connection's name.
    const char* unique = nullptr;
    if (owned)
        item.m_registered = item.m_name;
    else if (sd_bus_get_unique_name(item.m_bus, &unique) >= 0)
        item.m_registered = unique;
    item.registerWithWatcher();
    return 0;
}

int StatusNotifierItem::onRegisterReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& item = *static_cast<StatusNotifierItem*>(self);
    if (const sd_bus_error* error = sd_bus_message_get_error(reply); error && item.m_handlers.noWatcher)
        item.m_handlers.noWatcher(error->name ? error->name : "no answer");
    return 0;
}

int StatusNotifierItem::onPointerMethod(sd_bus_message* call, void* self, sd_bus_error*) {
    auto& item = *static_cast<StatusNotifierItem*>(self);
    std::int32_t x = 0;
    std::int32_t y = 0;
    const int result = sd_bus_message_read(call, "ii", &x, &y);
    if (result < 0)
        return result;
    const std::string_view member = sd_bus_message_get_member(call);
    const auto& handler = member == "Activate" ? item.m_handlers.activate : item.m_handlers.contextMenu;
    if (handler)
        handler(x, y);
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::onIgnoredMethod(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::onProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                                   void* self, sd_bus_error*) {
    const auto& item = *static_cast<StatusNotifierItem*>(self);
    const std::string_view name = property;
    if (name == "Category")
        return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (name == "Id" || name == "Title")
        return sd_bus_message_append(reply, "s", item.m_id.c_str());
    if (name == "Status")
        return sd_bus_message_append(reply, "s", "Active");
    if (name == "WindowId")
        return sd_bus_message_append(reply, "i", 0);
    if (name == "ItemIsMenu")
        return sd_bus_message_append(reply, "b", 0);
    if (name == "Menu")
        return sd_bus_message_append(reply, "o", item.m_menuPath.c_str());
    if (name == "IconPixmap")
        return appendPixmaps(reply, item.m_look.images);
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap")
        return appendPixmaps(reply, {});
    if (name == "ToolTip") {
        // No icon of its own; the tip's text as its title.
        int result = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (result >= 0)
            result = sd_bus_message_append(reply, "s", "");
        if (result >= 0)
            result = appendPixmaps(reply, {});
        if (result >= 0)
            result = sd_bus_message_append(reply, "ss", item.m_look.toolTip.c_str(), "");
        return result < 0 ? result : sd_bus_message_close_container(reply);
    }
    // The icon names and the theme path: the item names no themed icons.
    return sd_bus_message_append(reply, "s", "");
}

const sd_bus_vtable* StatusNotifierItem::vtable() {
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Category", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Id", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Title", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("WindowId", "i", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("ItemIsMenu", "b", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Menu", "o", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconName", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconThemePath", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconPixmap", "a(iiay)", onProperty, 0, 0),
        SD_BUS_PROPERTY("OverlayIconName", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconName", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionMovieName", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", onProperty, 0, 0),
        SD_BUS_METHOD("Activate", "ii", "", onPointerMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("ContextMenu", "ii", "", onPointerMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("SecondaryActivate", "ii", "", onIgnoredMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Scroll", "is", "", onIgnoredMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("NewTitle", "", 0),
        SD_BUS_SIGNAL("NewIcon", "", 0),
        SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
        SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
        SD_BUS_SIGNAL("NewToolTip", "", 0),
        SD_BUS_SIGNAL("NewStatus", "s", 0),
        SD_BUS_VTABLE_END};
    return table;
}

}  // namespace compat
