#include "addon/browser/toolbar/CWndReflection.h"

#include <utility>

#include "addon/browser/toolbar/ToolbarResources.h"
#include "compat/browser/Window.h"

namespace ovix {

namespace {

constexpr std::string_view kClassName = "VantileToolbarHost";

void setTooltip(compat::ToolTipText& tip) {
    for (const auto& button : kToolbarButtons) {
        if (static_cast<std::uintptr_t>(button.command) == tip.header.id) {
            tip.text = button.tooltip;
            tip.instance = 0;
        }
    }
}

}  // namespace

bool CWndReflection::Create(compat::WindowHandle parent, const compat::Rect& rect) {
    Destroy();
    m_window = compat::CreateWindowEx(
        0, kClassName, "", compat::WS_CHILD, rect.left, rect.top, rect.width(), rect.height(), parent, 0,
        [this](compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            return OnMessage(window, message, wParam, lParam);
        });
    return m_window != 0;
}

void CWndReflection::Destroy() {
    if (m_window)
        compat::DestroyWindow(std::exchange(m_window, 0));
}

std::intptr_t CWndReflection::OnMessage(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
    if (message == compat::WM_NOTIFY && lParam) {
        auto* header = reinterpret_cast<compat::NotifyHeader*>(lParam);
        if (header->code == compat::TTN_GETDISPINFOW)
            setTooltip(*reinterpret_cast<compat::ToolTipText*>(lParam));
        if (compat::IsChild(window, header->from))
            return compat::SendMessage(header->from, OCM_NOTIFY, wParam, lParam);
    }
    if (message == compat::WM_COMMAND && lParam) {
        const auto control = static_cast<compat::WindowHandle>(lParam);
        if (compat::IsChild(window, control))
            return compat::SendMessage(control, OCM_COMMAND, wParam, lParam);
    }
    return compat::DefWindowProc(window, message, wParam, lParam);
}

}  // namespace ovix
