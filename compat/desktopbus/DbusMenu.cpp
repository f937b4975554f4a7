#include "compat/desktopbus/DbusMenu.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <string_view>
#include <vector>

namespace compat {

namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";
// Items with a command id keep it as their id; the others (separators,
// submenus, a command seen twice) are numbered from here, past every command.
constexpr std::int32_t kFirstOtherId = 0x10000;
constexpr std::uint32_t kLastCommand = 0xFFFF;
// Deeper submenus are left out: a menu may hold itself.
constexpr int kDepthLimit = 16;

struct Property {
    const char* name;
    char type;  // 's' or 'i'
    std::string text;
    std::int32_t number = 0;
};

int appendProperty(sd_bus_message* message, const Property& property) {
    return property.type == 's'
               ? sd_bus_message_append(message, "{sv}", property.name, "s", property.text.c_str())
               : sd_bus_message_append(message, "{sv}", property.name, "i", property.number);
}

// The strings of an array argument ("as").
int readStrings(sd_bus_message* message, std::vector<std::string>& strings) {
    int result = sd_bus_message_enter_container(message, 'a', "s");
    const char* text = nullptr;
    while (result >= 0 && (result = sd_bus_message_read_basic(message, 's', &text)) > 0)
        strings.emplace_back(text);
    return result < 0 ? result : sd_bus_message_exit_container(message);
}

// The ids of an array argument ("ai").
int readIds(sd_bus_message* message, std::vector<std::int32_t>& ids) {
    const void* data = nullptr;
    std::size_t size = 0;
    const int result = sd_bus_message_read_array(message, 'i', &data, &size);
    if (result >= 0 && size > 0) {
        const auto* first = static_cast<const std::int32_t*>(data);
        ids.assign(first, first + size / sizeof(std::int32_t));
    }
    return result;
}

int unknownItem(sd_bus_error* error, std::int32_t id) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "No menu item %d.", static_cast<int>(id));
}

int sendReply(BusMessage& reply, int result) {
    return result < 0 ? result : sd_bus_send(nullptr, reply.get(), nullptr);
}

}  // namespace

std::string dbusMenuLabel(const std::string& text) {
    std::string label;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            label += "__";
        } else if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            label += text[i] == '&' ? "&" : "_" + std::string(1, text[i]);
            if (text[i] == '_')
                label += '_';
        } else {
            label += text[i];
        }
    }
    return label;
}

// The menu as the model holds it now: node 0 is the root, the others its
// items and theirs, each with its id and its children's indexes.
struct DbusMenu::Tree {
    struct Node {
        std::int32_t id = 0;
        MenuItem item;
        std::vector<std::size_t> children;
    };
    std::vector<Node> nodes;

    explicit Tree(MenuHandle menu) {
        nodes.push_back(Node{});
        std::set<std::uint32_t> commands;
        add(0, menu, commands, 0);
    }

    const Node* find(std::int32_t id) const {
        const auto found = std::find_if(nodes.begin(), nodes.end(), [id](const Node& node) { return node.id == id; });
        return found == nodes.end() ? nullptr : &*found;
    }

    std::vector<Property> properties(const Node& node) const {
        if (node.item.separator)
            return {{"type", 's', "separator"}};
        std::vector<Property> found;
        const bool root = &node == &nodes[0];
        if (!root)
            found.push_back({"label", 's', dbusMenuLabel(node.item.text)});
        if (root || node.item.popup != 0)
            found.push_back({"children-display", 's', "submenu"});
        if (node.item.checked) {
            found.push_back({"toggle-type", 's', "checkmark"});
            found.push_back({"toggle-state", 'i', "", 1});
        }
        return found;
    }

    // a{sv} of the node's properties, only those in `names` unless it is empty.
    int appendProperties(sd_bus_message* message, const Node& node, const std::vector<std::string>& names) const {
        int result = sd_bus_message_open_container(message, 'a', "{sv}");
        for (const auto& property : properties(node)) {
            if (result >= 0 && (names.empty() || std::count(names.begin(), names.end(), property.name) > 0))
                result = appendProperty(message, property);
        }
        return result < 0 ? result : sd_bus_message_close_container(message);
    }

    // (ia{sv}av) of the node, with `depth` levels of children (-1: all).
    int appendLayout(sd_bus_message* message, const Node& node, int depth,
                     const std::vector<std::string>& names) const {
        int result = sd_bus_message_open_container(message, 'r', "ia{sv}av");
        if (result >= 0)
            result = sd_bus_message_append(message, "i", node.id);
        if (result >= 0)
            result = appendProperties(message, node, names);
        if (result >= 0)
            result = sd_bus_message_open_container(message, 'a', "v");
        for (const std::size_t child : depth == 0 ? std::vector<std::size_t>{} : node.children) {
            if (result >= 0)
                result = sd_bus_message_open_container(message, 'v', "(ia{sv}av)");
            if (result >= 0)
                result = appendLayout(message, nodes[child], depth < 0 ? depth : depth - 1, names);
            if (result >= 0)
                result = sd_bus_message_close_container(message);
        }
        if (result >= 0)
            result = sd_bus_message_close_container(message);
        return result < 0 ? result : sd_bus_message_close_container(message);
    }

    // The whole layout as text, to see whether it changed.
    std::string text() const {
        std::string whole;
        for (const auto& node : nodes) {
            whole += std::to_string(node.id) + ':' + std::to_string(node.children.size()) + ':';
            for (const auto& property : properties(node))
                whole += std::string(property.name) + '=' + property.text + std::to_string(property.number) + ';';
            whole += '\n';
        }
        return whole;
    }

private:
    void add(std::size_t parent, MenuHandle menu, std::set<std::uint32_t>& commands, int depth) {
        if (depth > kDepthLimit)
            return;
        for (auto& item : menuItems(menu)) {
            const bool command = !item.separator && item.popup == 0 && item.id != 0 && item.id <= kLastCommand &&
                                 commands.insert(item.id).second;
            Node node;
            node.id = command ? static_cast<std::int32_t>(item.id) : kFirstOtherId + static_cast<std::int32_t>(nodes.size());
            node.item = std::move(item);
            const std::size_t index = nodes.size();
            const MenuHandle submenu = node.item.popup;
            nodes.push_back(std::move(node));
            nodes[parent].children.push_back(index);
            if (submenu != 0)
                add(index, submenu, commands, depth + 1);
        }
    }
};

DbusMenu::DbusMenu(sd_bus* bus, std::function<void(unsigned)> clicked) : m_bus(bus), m_clicked(std::move(clicked)) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(m_bus, &slot, kPath, kInterface, vtable(), this) >= 0)
        m_object.reset(slot);
}

void DbusMenu::show(MenuHandle menu) {
    m_menu = menu;
    m_given = Tree(m_menu).text();
    sd_bus_emit_signal(m_bus, kPath, kInterface, "LayoutUpdated", "ui", ++m_revision, 0);
}

bool DbusMenu::event(const Tree& tree, std::int32_t id, const std::string& kind) {
    const Tree::Node* node = tree.find(id);
    if (!node)
        return false;
    const MenuItem& item = node->item;
    if (kind == "clicked" && node != &tree.nodes[0] && !item.separator && item.popup == 0 && item.id != 0 &&
        m_clicked)
        m_clicked(item.id);
    return true;
}

bool DbusMenu::refresh(const Tree& tree) {
    std::string now = tree.text();
    if (now == m_given)
        return false;
    m_given = std::move(now);
    sd_bus_emit_signal(m_bus, kPath, kInterface, "LayoutUpdated", "ui", ++m_revision, 0);
    return true;
}

int DbusMenu::onGetLayout(sd_bus_message* call, void* self, sd_bus_error* error) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::int32_t parent = 0;
    std::int32_t depth = 0;
    std::vector<std::string> names;
    int result = sd_bus_message_read(call, "ii", &parent, &depth);
    if (result >= 0)
        result = readStrings(call, names);
    if (result < 0)
        return result;
    const Tree tree(menu.m_menu);
    const Tree::Node* node = tree.find(parent);
    if (!node)
        return unknownItem(error, parent);
    menu.m_given = tree.text();
    sd_bus_message* reply = nullptr;
    result = sd_bus_message_new_method_return(call, &reply);
    BusMessage owned(reply);
    if (result >= 0)
        result = sd_bus_message_append(reply, "u", menu.m_revision);
    if (result >= 0)
        result = tree.appendLayout(reply, *node, depth, names);
    return sendReply(owned, result);
}

int DbusMenu::onGetGroupProperties(sd_bus_message* call, void* self, sd_bus_error*) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::vector<std::int32_t> ids;
    std::vector<std::string> names;
    int result = readIds(call, ids);
    if (result >= 0)
        result = readStrings(call, names);
    if (result < 0)
        return result;
    const Tree tree(menu.m_menu);
    sd_bus_message* reply = nullptr;
    result = sd_bus_message_new_method_return(call, &reply);
    BusMessage owned(reply);
    if (result >= 0)
        result = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
    for (const std::int32_t id : ids) {
        const Tree::Node* node = tree.find(id);
        if (!node || result < 0)
            continue;
        result = sd_bus_message_open_container(reply, 'r', "ia{sv}");
        if (result >= 0)
            result = sd_bus_message_append(reply, "i", id);
        if (result >= 0)
            result = tree.appendProperties(reply, *node, {});
        if (result >= 0)
            result = sd_bus_message_close_container(reply);
    }
    if (result >= 0)
        result = sd_bus_message_close_container(reply);
    return sendReply(owned, result);
}

int DbusMenu::onGetProperty(sd_bus_message* call, void* self, sd_bus_error* error) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::int32_t id = 0;
    const char* name = nullptr;
    int result = sd_bus_message_read(call, "is", &id, &name);
    if (result < 0)
        return result;
    const Tree tree(menu.m_menu);
    const Tree::Node* node = tree.find(id);
    if (!node)
        return unknownItem(error, id);
    const auto properties = tree.properties(*node);
    const auto found = std::find_if(properties.begin(), properties.end(),
                                    [name](const Property& property) { return std::string_view(property.name) == name; });
    if (found == properties.end())
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "Menu item %d has no property %s.",
                                 static_cast<int>(id), name);
    sd_bus_message* reply = nullptr;
    result = sd_bus_message_new_method_return(call, &reply);
    BusMessage owned(reply);
    if (result >= 0)
        result = found->type == 's' ? sd_bus_message_append(reply, "v", "s", found->text.c_str())
                                    : sd_bus_message_append(reply, "v", "i", found->number);
    return sendReply(owned, result);
}

int DbusMenu::onEvent(sd_bus_message* call, void* self, sd_bus_error* error) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::int32_t id = 0;
    const char* kind = nullptr;
    std::uint32_t timestamp = 0;
    int result = sd_bus_message_read(call, "is", &id, &kind);
    if (result >= 0)
        result = sd_bus_message_skip(call, "v");
    if (result >= 0)
        result = sd_bus_message_read(call, "u", &timestamp);
    if (result < 0)
        return result;
    if (!menu.event(Tree(menu.m_menu), id, kind))
        return unknownItem(error, id);
    return sd_bus_reply_method_return(call, "");
}

int DbusMenu::onEventGroup(sd_bus_message* call, void* self, sd_bus_error* error) {
    auto& menu = *static_cast<DbusMenu*>(self);
    const Tree tree(menu.m_menu);
    std::vector<std::int32_t> unknown;
    std::size_t events = 0;
    int result = sd_bus_message_enter_container(call, 'a', "(isvu)");
    while (result >= 0 && (result = sd_bus_message_enter_container(call, 'r', "isvu")) > 0) {
        std::int32_t id = 0;
        const char* kind = nullptr;
        std::uint32_t timestamp = 0;
        result = sd_bus_message_read(call, "is", &id, &kind);
        if (result >= 0)
            result = sd_bus_message_skip(call, "v");
        if (result >= 0)
            result = sd_bus_message_read(call, "u", &timestamp);
        if (result >= 0)
            result = sd_bus_message_exit_container(call);
        if (result < 0)
            break;
        ++events;
        if (!menu.event(tree, id, kind))
            unknown.push_back(id);
    }
    if (result >= 0)
        result = sd_bus_message_exit_container(call);
    if (result < 0)
        return result;
    if (events > 0 && unknown.size() == events)
        return unknownItem(error, unknown.front());
    sd_bus_message* reply = nullptr;
    result = sd_bus_message_new_method_return(call, &reply);
    BusMessage owned(reply);
    if (result >= 0)
        result = sd_bus_message_append_array(reply, 'i', unknown.data(), unknown.size() * sizeof(std::int32_t));
    return sendReply(owned, result);
}

int DbusMenu::onAboutToShow(sd_bus_message* call, void* self, sd_bus_error* error) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::int32_t id = 0;
    const int result = sd_bus_message_read(call, "i", &id);
    if (result < 0)
        return result;
    const Tree tree(menu.m_menu);
    if (!tree.find(id))
        return unknownItem(error, id);
    return sd_bus_reply_method_return(call, "b", menu.refresh(tree) ? 1 : 0);
}

int DbusMenu::onAboutToShowGroup(sd_bus_message* call, void* self, sd_bus_error*) {
    auto& menu = *static_cast<DbusMenu*>(self);
    std::vector<std::int32_t> ids;
    int result = readIds(call, ids);
    if (result < 0)
        return result;
    const Tree tree(menu.m_menu);
    std::vector<std::int32_t> known;
    std::vector<std::int32_t> unknown;
    for (const std::int32_t id : ids)
        (tree.find(id) ? known : unknown).push_back(id);
    if (!menu.refresh(tree))
        known.clear();
    sd_bus_message* reply = nullptr;
    result = sd_bus_message_new_method_return(call, &reply);
    BusMessage owned(reply);
    for (const auto* list : {&known, &unknown}) {
        if (result >= 0)
            result = sd_bus_message_append_array(reply, 'i', list->data(), list->size() * sizeof(std::int32_t));
    }
    return sendReply(owned, result);
}

int DbusMenu::onProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                         sd_bus_error*) {
    const std::string_view name = property;
    if (name == "Version")
        return sd_bus_message_append(reply, "u", 3u);
    if (name == "TextDirection")
        return sd_bus_message_append(reply, "s", "ltr");
    if (name == "Status")
        return sd_bus_message_append(reply, "s", "normal");
    // IconThemePath: the menu names no themed icons.
    return sd_bus_message_append(reply, "as", 0);
}

const sd_bus_vtable* DbusMenu::vtable() {
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Version", "u", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("TextDirection", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconThemePath", "as", onProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", onGetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", onGetGroupProperties, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetProperty", "is", "v", onGetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Event", "isvu", "", onEvent, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", onEventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShow", "i", "b", onAboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", onAboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
        SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
        SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
        SD_BUS_VTABLE_END};
    return table;
}

}  // namespace compat
