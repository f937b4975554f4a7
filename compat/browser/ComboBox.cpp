#include "compat/browser/ComboBox.h"

#include <memory>
#include <mutex>

#include "compat/browser/SimulatedInput.h"
#include "compat/browser/Window.h"
#include "compat/browser/WindowClass.h"

namespace compat {

namespace {

class ComboBox final : public WindowClassBehavior {
public:
    std::optional<std::intptr_t> handle(WindowHandle, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        const bool inRange = wParam < m_items.size();
        switch (message) {
        case CB_ADDSTRING:
            m_items.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
            return static_cast<std::intptr_t>(m_items.size() - 1);
        case CB_DELETESTRING:
            if (!inRange)
                return CB_ERR;
            m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(wParam));
            if (m_selection == static_cast<int>(wParam))
                m_selection = -1;
            else if (m_selection > static_cast<int>(wParam))
                --m_selection;
            return static_cast<std::intptr_t>(m_items.size());
        case CB_GETCOUNT:
            return static_cast<std::intptr_t>(m_items.size());
        case CB_GETCURSEL:
            return m_selection;
        case CB_GETLBTEXT:
            if (!inRange || !lParam)
                return CB_ERR;
            *reinterpret_cast<std::string*>(lParam) = m_items[wParam];
            return static_cast<std::intptr_t>(m_items[wParam].size());
        case CB_GETLBTEXTLEN:
            return inRange ? static_cast<std::intptr_t>(m_items[wParam].size()) : CB_ERR;
        case CB_RESETCONTENT:
            m_items.clear();
            m_selection = -1;
            return 0;
        case CB_SETCURSEL:
            m_selection = inRange ? static_cast<int>(wParam) : -1;
            return inRange ? static_cast<std::intptr_t>(wParam) : CB_ERR;
        default:
            return std::nullopt;
        }
    }

    ComboBoxSnapshot snapshot(WindowHandle box) const {
        std::lock_guard lock(m_mutex);
        return ComboBoxSnapshot{m_items, m_selection, GetWindowText(box)};
    }
    bool select(int index) {
        std::lock_guard lock(m_mutex);
        if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
            return false;
        m_selection = index;
        return true;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_items;
    int m_selection = -1;
};

// Sends the box's parent WM_COMMAND with `code`.
bool notifyParent(WindowHandle box, unsigned code) {
    const auto id = static_cast<unsigned>(GetWindowLong(box, GWL_ID));
    return sendToParent(box, WM_COMMAND, makeWParam(id, code), static_cast<std::intptr_t>(box));
}

}  // namespace

std::shared_ptr<WindowClassBehavior> makeComboBoxBehavior() {
    return std::make_shared<ComboBox>();
}

std::optional<ComboBoxSnapshot> comboBoxState(WindowHandle box) {
    auto model = windowBehaviorAs<ComboBox>(box);
    if (!model)
        return std::nullopt;
    return model->snapshot(box);
}

bool dropDownComboBox(WindowHandle box) {
    return windowBehaviorAs<ComboBox>(box) && notifyParent(box, CBN_DROPDOWN);
}

bool pickComboBoxItem(WindowHandle box, int index) {
    auto model = windowBehaviorAs<ComboBox>(box);
    return model && model->select(index) && notifyParent(box, CBN_SELCHANGE);
}

}  // namespace compat
