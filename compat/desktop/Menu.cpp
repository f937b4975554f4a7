#include "compat/desktop/Menu.h"

#include <map>
#include <mutex>
#include <utility>

#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/SimulatedInput.h"
#include "compat/ipc/MessageWindow.h"

namespace compat {

namespace {

struct MenuTable {
    std::mutex mutex;
    std::map<MenuHandle, std::vector<MenuItem>> menus;
    MenuHandle lastHandle = 0x20000;
    unsigned armedPick = 0;
};

MenuTable& table() {
    static auto* menus = new MenuTable;
    return *menus;
}

MenuHandle create() {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.lastHandle += 2;
    t.menus.emplace(t.lastHandle, std::vector<MenuItem>{});
    return t.lastHandle;
}

// The item with command id `id` in `menu` or its submenus (table locked).
MenuItem* findCommand(MenuTable& t, MenuHandle menu, unsigned id) {
    auto found = t.menus.find(menu);
    if (found == t.menus.end())
        return nullptr;
    for (auto& item : found->second) {
        if (item.popup != 0) {
            if (MenuItem* inner = findCommand(t, item.popup, id))
                return inner;
        } else if (!item.separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

MenuItem* findItem(MenuTable& t, MenuHandle menu, unsigned item, bool byPosition) {
    if (!byPosition)
        return findCommand(t, menu, item);
    auto found = t.menus.find(menu);
    if (found == t.menus.end() || item >= found->second.size())
        return nullptr;
    return &found->second[item];
}

std::string itemTexts(const std::vector<MenuItem>& items) {
    std::string texts;
    for (const auto& item : items) {
        if (!texts.empty())
            texts += '|';
        texts += item.separator ? "-" : item.text;
    }
    return texts;
}

}  // namespace

MenuHandle CreateMenu() {
    return create();
}

MenuHandle CreatePopupMenu() {
    return create();
}

bool AppendMenu(MenuHandle menu, unsigned flags, std::uintptr_t idOrPopup, std::string_view text) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.menus.find(menu);
    if (found == t.menus.end())
        return false;
    MenuItem item;
    if (flags & MF_SEPARATOR) {
        item.separator = true;
    } else if (flags & MF_POPUP) {
        if (!t.menus.count(idOrPopup))
            return false;
        item.popup = idOrPopup;
        item.text = text;
    } else {
        item.id = static_cast<unsigned>(idOrPopup);
        item.text = text;
    }
    item.checked = (flags & MF_CHECKED) != 0;
    found->second.push_back(std::move(item));
    return true;
}

MenuHandle GetSubMenu(MenuHandle menu, int position) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.menus.find(menu);
    if (found == t.menus.end() || position < 0 || static_cast<std::size_t>(position) >= found->second.size())
        return 0;
    return found->second[position].popup;
}

bool SetMenuDefaultItem(MenuHandle menu, unsigned item, bool byPosition) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.menus.find(menu);
    MenuItem* chosen = findItem(t, menu, item, byPosition);
    if (found == t.menus.end() || !chosen)
        return false;
    for (auto& other : found->second)
        other.isDefault = false;
    chosen->isDefault = true;
    return true;
}

int CheckMenuItem(MenuHandle menu, unsigned item, unsigned flags) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    MenuItem* found = findItem(t, menu, item, flags & MF_BYPOSITION);
    const bool check = flags & MF_CHECKED;
    recordDesktopEvent("menu-check item=" + std::to_string(item) + (check ? " checked" : " unchecked") +
                       (found ? "" : " missing"));
    if (!found)
        return -1;
    const int previous = found->checked ? static_cast<int>(MF_CHECKED) : static_cast<int>(MF_UNCHECKED);
    found->checked = check;
    return previous;
}

bool DestroyMenu(MenuHandle menu) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.menus.find(menu);
    if (found == t.menus.end())
        return false;
    std::vector<MenuHandle> doomed{menu};
    for (std::size_t i = 0; i < doomed.size(); ++i) {
        auto menuFound = t.menus.find(doomed[i]);
        if (menuFound == t.menus.end())
            continue;
        for (const auto& item : menuFound->second) {
            if (item.popup != 0)
                doomed.push_back(item.popup);
        }
        t.menus.erase(menuFound);
    }
    return true;
}

bool TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, WindowHandle owner) {
    auto& t = table();
    std::unique_lock lock(t.mutex);
    auto found = t.menus.find(menu);
    if (found == t.menus.end())
        return false;
    const unsigned pick = std::exchange(t.armedPick, 0);
    const MenuItem* picked = pick != 0 ? findCommand(t, menu, pick) : nullptr;
    recordDesktopEvent("menu-track x=" + std::to_string(x) + " y=" + std::to_string(y) +
                       " flags=" + std::to_string(flags) + " items=" + journalQuote(itemTexts(found->second)) +
                       " picked=" + (picked ? std::to_string(pick) : std::string("none")));
    lock.unlock();
    if (picked)
        PostMessage(owner, WM_COMMAND, pick, 0);
    return true;
}

void chooseMenuItem(unsigned id) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.armedPick = id;
}

std::vector<MenuItem> menuItems(MenuHandle menu) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.menus.find(menu);
    return found == t.menus.end() ? std::vector<MenuItem>{} : found->second;
}

}  // namespace compat
