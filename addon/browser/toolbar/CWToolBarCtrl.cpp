#include "addon/browser/toolbar/CWToolBarCtrl.h"

#include <utility>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/WebBrowser.h"
#include "addon/browser/toolbar/CWndReflection.h"
#include "addon/browser/toolbar/TagIt.h"
#include "addon/browser/toolbar/ToolbarResources.h"
#include "addon/core/coding/Base64.h"
#include "compat/browser/ActiveWindow.h"
#include "compat/browser/ComboBox.h"
#include "compat/browser/Window.h"
#include "compat/system/ModulePath.h"

namespace ovix {

namespace {

using compat::SendMessage;

constexpr std::string_view kNewInterestItem = "New interest ...";
constexpr int kNewInterestIndex = 0;
constexpr int kSeparatorIndex = 1;

// The box's separator: 20 em dashes.
std::string separatorItem() {
    std::string item;
    for (int i = 0; i < 20; ++i)
        item += "\u2014";
    return item;
}

// Something of this module, to name its resources by.
const char kResourceAnchor = 0;

}  // namespace

bool CWToolBarCtrl::Create(compat::WindowHandle parent, const compat::Rect& rect, ToolbarSite site) {
    Destroy();
    m_site = std::move(site);
    m_firstDrop = true;
    m_window =
        compat::CreateWindowEx(0, compat::TOOLBARCLASSNAME, "", kToolbarStyle, rect.left, rect.top, rect.width(),
                               rect.height(), parent, kToolbarControlId,
                               [this](compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) { return OnMessage(window, message, wParam, lParam); });
    if (m_window && CreateButtons() && CreateInterestsBox() && (m_menu = LoadToolbarMenu()) != 0)
        return true;
    Destroy();
    return false;
}

void CWToolBarCtrl::Destroy() {
    if (m_window)
        compat::DestroyWindow(std::exchange(m_window, 0));
    m_box = 0;
    if (m_menu)
        compat::DestroyMenu(std::exchange(m_menu, 0));
    m_interests = Interests();
    m_site = ToolbarSite();
}

bool CWToolBarCtrl::CreateButtons() {
    SendMessage(m_window, compat::TB_BUTTONSTRUCTSIZE, sizeof(compat::ToolbarButton), 0);
    const std::uintptr_t instance = compat::moduleInstance(&kResourceAnchor);
    compat::ToolbarButton buttons[std::size(kToolbarButtons)];
    for (std::size_t i = 0; i < std::size(kToolbarButtons); ++i) {
        const auto& resource = kToolbarButtons[i];
        const compat::ToolbarAddBitmap bitmap{instance, static_cast<std::uintptr_t>(resource.bitmap)};
        const auto image = SendMessage(m_window, compat::TB_ADDBITMAP, 1, reinterpret_cast<std::intptr_t>(&bitmap));
        if (image < 0)
            return false;
        buttons[i] =
            compat::ToolbarButton{static_cast<int>(image), resource.command, compat::TBSTATE_ENABLED, resource.style};
    }
    if (!SendMessage(m_window, compat::TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<std::intptr_t>(buttons)))
        return false;
    for (const auto& resource : kToolbarButtons) {
        compat::ToolbarButtonInfo info;
        info.mask = compat::TBIF_SIZE;
        info.width = resource.width;
        SendMessage(m_window, compat::TB_SETBUTTONINFOW, static_cast<std::uintptr_t>(resource.command),
                    reinterpret_cast<std::intptr_t>(&info));
    }
    const auto size = compat::makeLParam(kButtonImageSize.x, kButtonImageSize.y);
    SendMessage(m_window, compat::TB_SETBITMAPSIZE, 0, size);
    SendMessage(m_window, compat::TB_SETBUTTONSIZE, 0, size);
    SendMessage(m_window, compat::TB_SETEXTENDEDSTYLE, 0, compat::TBSTYLE_EX_DRAWDDARROWS);
    // No theme draws the controls of this desktop, so the toolbar has no
    // visual styles and takes the classic padding (7, 6); a themed one
    // would take (6, -2).
    compat::ToolbarMetrics metrics;
    metrics.mask = compat::TBMF_PAD | compat::TBMF_BARPAD | compat::TBMF_BUTTONSPACING;
    metrics.xPad = 7;
    metrics.yPad = 6;
    metrics.xBarPad = 0;
    metrics.yBarPad = 0;
    metrics.xButtonSpacing = 3;
    metrics.yButtonSpacing = 0;
    SendMessage(m_window, compat::TB_SETMETRICS, 0, reinterpret_cast<std::intptr_t>(&metrics));
    return true;
}

bool CWToolBarCtrl::CreateInterestsBox() {
    const auto last = SendMessage(m_window, compat::TB_BUTTONCOUNT, 0, 0) - 1;
    compat::Rect button;
    if (last < 0 || !SendMessage(m_window, compat::TB_GETITEMRECT, static_cast<std::uintptr_t>(last),
                                 reinterpret_cast<std::intptr_t>(&button)))
        return false;
    m_box = compat::CreateWindowEx(
        0, compat::WC_COMBOBOX, "",
        compat::WS_CHILD | compat::WS_VISIBLE | compat::WS_VSCROLL | compat::WS_TABSTOP | compat::CBS_DROPDOWN,
        button.right + 3, button.top, kInterestsBoxWidth, kInterestsBoxListHeight, m_window, kInterestsBoxId);
    return m_box != 0;
}

std::intptr_t CWToolBarCtrl::OnMessage(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    switch (message) {
        case OCM_COMMAND:
            OnButtonClicked(compat::lowWord(wParam));
            return 0;
        case OCM_NOTIFY: {
            const auto* header = reinterpret_cast<const compat::NotifyHeader*>(lParam);
            if (header && header->code == compat::TBN_DROPDOWN &&
                reinterpret_cast<const compat::ToolbarNotify*>(lParam)->item == kOpenButton) {
                ShowMenu();
                return 0;
            }
            break;
        }
        case compat::WM_COMMAND:
            if (lParam == 0) {
                OnMenuCommand(compat::lowWord(wParam));
                return 0;
            }
            if (compat::lowWord(wParam) == kInterestsBoxId && static_cast<compat::WindowHandle>(lParam) == m_box) {
                if (compat::highWord(wParam) == compat::CBN_DROPDOWN)
                    RefreshInterests();
                else if (compat::highWord(wParam) == compat::CBN_SELCHANGE)
                    SelectInterest();
                return 0;
            }
            break;
        default:
            break;
    }
    return compat::DefWindowProc(window, message, wParam, lParam);
}

void CWToolBarCtrl::OnButtonClicked(int id) {
    if (id == kOpenButton) {
        m_app.sidebarShown = 0;
        ToggleSidebar();
        OpenPage("");
    } else if (id == kTagItButton) {
        TagIt("");
    }
}

void CWToolBarCtrl::ShowMenu() {
    compat::CheckMenuItem(m_menu, kSidebarCommand,
                          compat::MF_BYCOMMAND | (m_app.sidebarShown == 1 ? compat::MF_CHECKED : compat::MF_UNCHECKED));
    compat::SetFocus(m_window);
    const auto index = SendMessage(m_window, compat::TB_COMMANDTOINDEX, kOpenButton, 0);
    compat::Rect button;
    if (index < 0 || !SendMessage(m_window, compat::TB_GETITEMRECT, static_cast<std::uintptr_t>(index),
                                  reinterpret_cast<std::intptr_t>(&button)))
        return;
    compat::Point corner{button.left, button.bottom};
    compat::ClientToScreen(m_window, corner);
    compat::TrackPopupMenu(compat::GetSubMenu(m_menu, 0), compat::TPM_RIGHTBUTTON, corner.x, corner.y, m_window);
}

void CWToolBarCtrl::OnMenuCommand(unsigned id) {
    const auto command = FindToolbarCommand(id);
    if (!command)
        return;
    switch (command->kind) {
        case ToolbarCommand::Kind::Page:
            OpenPage(command->path);
            break;
        case ToolbarCommand::Kind::Popup:
            OpenPopup(command->path, command->width, command->height);
            break;
        case ToolbarCommand::Kind::ToggleSidebar:
            ToggleSidebar();
            break;
    }
}

void CWToolBarCtrl::ToggleSidebar() {
    int shown = m_app.sidebarShown.load();
    while (!m_app.sidebarShown.compare_exchange_weak(shown, shown == 0 ? 1 : 0)) {
    }
    const bool show = shown == 0;
    if (!m_site.frameBrowser)
        return;
    // A browser that refuses leaves the bar as it was; the flag has turned
    // all the same, as the button has.
    static_cast<void>(m_site.frameBrowser->PutVisible(true));
    static_cast<void>(m_site.frameBrowser->ShowBrowserBar(kBarBandClassId.toString(), show, compat::NativeInt{1}));
}

void CWToolBarCtrl::TagIt(std::string_view interestName) {
    std::string title, address;
    // What the browser cannot give is sent empty.
    if (m_site.frameBrowser && !compat::succeeded(m_site.frameBrowser->GetLocationName(title)))
        title.clear();
    if (m_site.frameBrowser && !compat::succeeded(m_site.frameBrowser->GetLocationURL(address)))
        address.clear();
    const int id = interestName.empty() ? 0 : m_interests.IdOf(interestName);
    OpenPopup(TagItPath(id, title, address), kTagItPopup.x, kTagItPopup.y);
}

void CWToolBarCtrl::RefreshInterests() {
    if (std::exchange(m_firstDrop, false))
        compat::SetWindowText(m_box, "");
    m_interests.Fetch(m_app.config.GetInterestsListUrl());
    SendMessage(m_box, compat::CB_RESETCONTENT, 0, 0);
    const auto add = [&](const std::string& item) {
        SendMessage(m_box, compat::CB_ADDSTRING, 0, reinterpret_cast<std::intptr_t>(item.c_str()));
    };
    add(std::string(kNewInterestItem));
    add(separatorItem());
    for (const auto& entry : m_interests.entries())
        add(TextFromBase64(entry.name));
    // A notice: the site may do nothing with it.
    if (m_site.inputSite)
        static_cast<void>(m_site.inputSite->OnFocusChangeIS(m_site.band, true));
}

void CWToolBarCtrl::SelectInterest() {
    const auto index = SendMessage(m_box, compat::CB_GETCURSEL, 0, 0);
    if (index == compat::CB_ERR || index == kSeparatorIndex)
        return;
    if (index == kNewInterestIndex) {
        OpenPopup(kNewInterestPath, kNewInterestBoxPopup.x, kNewInterestBoxPopup.y);
        return;
    }
    std::string name;
    if (SendMessage(m_box, compat::CB_GETLBTEXT, static_cast<std::uintptr_t>(index),
                    reinterpret_cast<std::intptr_t>(&name)) != compat::CB_ERR)
        TagIt(name);
}

void CWToolBarCtrl::OpenPage(std::string_view path) {
    // A page that cannot be opened leaves the tab as it was, as a failed link would.
    if (m_site.frameBrowser)
        static_cast<void>(m_site.frameBrowser->Navigate2(m_app.config.GetHomepageUrl() + std::string(path)));
}

void CWToolBarCtrl::OpenPopup(std::string_view path, int width, int height) {
    WebBrowser::Open(std::string(kPopupTitle), m_app.config.GetHomepageUrl() + std::string(path), width, height);
}

}  // namespace ovix
