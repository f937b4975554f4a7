#include "compat/browser/ToolbarControl.h"

#include <memory>
#include <mutex>
#include <utility>

#include "compat/browser/SimulatedInput.h"
#include "compat/browser/Window.h"
#include "compat/browser/WindowClass.h"

namespace compat {

namespace {

class Toolbar final : public WindowClassBehavior {
public:
    std::optional<std::intptr_t> handle(WindowHandle, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        auto& s = m_state;
        switch (message) {
        case TB_BUTTONSTRUCTSIZE:
            s.buttonStructSize = static_cast<std::uint32_t>(wParam);
            return 0;
        case TB_ADDBITMAP: {
            const auto* bitmap = reinterpret_cast<const ToolbarAddBitmap*>(lParam);
            if (!bitmap || wParam == 0)
                return -1;
            const auto first = static_cast<std::intptr_t>(s.bitmaps.size());
            s.bitmaps.insert(s.bitmaps.end(), wParam, *bitmap);
            return first;
        }
        case TB_ADDBUTTONSW: {
            const auto* buttons = reinterpret_cast<const ToolbarButton*>(lParam);
            if (!buttons || wParam == 0)
                return 0;
            for (std::uintptr_t i = 0; i < wParam; ++i)
                s.buttons.push_back(ToolbarSnapshot::Button{buttons[i], 0});
            return 1;
        }
        case TB_SETBUTTONINFOW: {
            const auto* info = reinterpret_cast<const ToolbarButtonInfo*>(lParam);
            const int index = indexOf(static_cast<int>(wParam));
            if (!info || index < 0)
                return 0;
            if (info->mask & TBIF_SIZE)
                s.buttons[static_cast<std::size_t>(index)].width = info->width;
            return 1;
        }
        case TB_SETBITMAPSIZE:
            s.bitmapSize = Point{lowWord(static_cast<std::uintptr_t>(lParam)), highWord(static_cast<std::uintptr_t>(lParam))};
            return 1;
        case TB_SETBUTTONSIZE:
            s.buttonSize = Point{lowWord(static_cast<std::uintptr_t>(lParam)), highWord(static_cast<std::uintptr_t>(lParam))};
            return 1;
        case TB_SETEXTENDEDSTYLE:
            return static_cast<std::intptr_t>(std::exchange(s.extendedStyle, static_cast<std::uint32_t>(lParam)));
        case TB_SETMETRICS:
            setMetrics(reinterpret_cast<const ToolbarMetrics*>(lParam));
            return 0;
        case TB_BUTTONCOUNT:
            return static_cast<std::intptr_t>(s.buttons.size());
        case TB_COMMANDTOINDEX:
            return indexOf(static_cast<int>(wParam));
        case TB_GETITEMRECT: {
            auto* rect = reinterpret_cast<Rect*>(lParam);
            if (!rect || wParam >= s.buttons.size())
                return 0;
            *rect = itemRect(wParam);
            return 1;
        }
        default:
            return std::nullopt;
        }
    }

    ToolbarSnapshot snapshot() const {
        std::lock_guard lock(m_mutex);
        return m_state;
    }
    // The button of `command` and its rectangle, if there is one.
    std::optional<std::pair<ToolbarButton, Rect>> button(int command) const {
        std::lock_guard lock(m_mutex);
        const int index = indexOf(command);
        if (index < 0)
            return std::nullopt;
        return std::pair{m_state.buttons[static_cast<std::size_t>(index)].button, itemRect(static_cast<std::size_t>(index))};
    }

private:
    int indexOf(int command) const {
        for (std::size_t i = 0; i < m_state.buttons.size(); ++i) {
            if (m_state.buttons[i].button.command == command)
                return static_cast<int>(i);
        }
        return -1;
    }
    Rect itemRect(std::size_t index) const {
        int left = 0;
        for (std::size_t i = 0;; ++i) {
            const auto& entry = m_state.buttons[i];
            const int width = entry.width != 0 ? entry.width : m_state.buttonSize.x;
            if (i == index)
                return Rect{left, 0, left + width, m_state.buttonSize.y};
            left += width + m_state.metrics.xButtonSpacing;
        }
    }
    void setMetrics(const ToolbarMetrics* metrics) {
        if (!metrics)
            return;
        auto& m = m_state.metrics;
        if (metrics->mask & TBMF_PAD) {
            m.xPad = metrics->xPad;
            m.yPad = metrics->yPad;
        }
        if (metrics->mask & TBMF_BARPAD) {
            m.xBarPad = metrics->xBarPad;
            m.yBarPad = metrics->yBarPad;
        }
        if (metrics->mask & TBMF_BUTTONSPACING) {
            m.xButtonSpacing = metrics->xButtonSpacing;
            m.yButtonSpacing = metrics->yButtonSpacing;
        }
        m.mask |= metrics->mask & (TBMF_PAD | TBMF_BARPAD | TBMF_BUTTONSPACING);
    }

    mutable std::mutex m_mutex;
    ToolbarSnapshot m_state;
};

// The button of `command` on `toolbar` and its rectangle, if there is one.
std::optional<std::pair<ToolbarButton, Rect>> buttonOf(WindowHandle toolbar, int command) {
    auto model = windowBehaviorAs<Toolbar>(toolbar);
    return model ? model->button(command) : std::nullopt;
}

}  // namespace

std::shared_ptr<WindowClassBehavior> makeToolbarBehavior() {
    return std::make_shared<Toolbar>();
}

std::optional<ToolbarSnapshot> toolbarState(WindowHandle toolbar) {
    auto model = windowBehaviorAs<Toolbar>(toolbar);
    if (!model)
        return std::nullopt;
    return model->snapshot();
}

bool clickToolbarButton(WindowHandle toolbar, int command) {
    const auto button = buttonOf(toolbar, command);
    if (!button || !(button->first.state & TBSTATE_ENABLED))
        return false;
    return sendToParent(toolbar, WM_COMMAND, makeWParam(static_cast<unsigned>(command), BN_CLICKED),
                        static_cast<std::intptr_t>(toolbar));
}

bool clickToolbarArrow(WindowHandle toolbar, int command) {
    const auto button = buttonOf(toolbar, command);
    if (!button || !(button->first.style & BTNS_DROPDOWN))
        return false;
    const auto id = static_cast<std::uintptr_t>(GetWindowLong(toolbar, GWL_ID));
    ToolbarNotify notify{NotifyHeader{toolbar, id, TBN_DROPDOWN}, command, button->first, button->second};
    return sendToParent(toolbar, WM_NOTIFY, id, reinterpret_cast<std::intptr_t>(&notify));
}

std::optional<std::string> toolbarTooltip(WindowHandle toolbar, int command) {
    if (!buttonOf(toolbar, command) || !(GetWindowLong(toolbar, GWL_STYLE) & TBSTYLE_TOOLTIPS))
        return std::nullopt;
    ToolTipText tip;
    tip.header = NotifyHeader{toolbar, static_cast<std::uintptr_t>(command), TTN_GETDISPINFOW};
    if (!sendToParent(toolbar, WM_NOTIFY, static_cast<std::uintptr_t>(command), reinterpret_cast<std::intptr_t>(&tip)))
        return std::nullopt;
    return tip.text;
}

}  // namespace compat
