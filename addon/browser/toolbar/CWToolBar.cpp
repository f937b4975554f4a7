#include "addon/browser/toolbar/CWToolBar.h"

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/OleWindow.h"
#include "compat/browser/ServiceProvider.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/browser/Window.h"

namespace ovix {

using compat::HRESULT;

HRESULT CWToolBar::SetSite(compat::ComUnknown* site) {
    TakeDown();
    if (!site)
        return compat::S_OK;
    const auto held = compat::ComPtr<compat::ComUnknown>::share(site);
    // A step that fails leaves its part empty, and the windows are made all the same.
    compat::WindowHandle siteWindow = 0;
    const auto window = held.as<compat::OleWindow>();
    if (window && !compat::succeeded(window->GetWindow(siteWindow)))
        siteWindow = 0;
    m_inputSite = held.as<compat::InputObjectSite>();
    compat::ComPtr<compat::WebBrowser2> frameBrowser;
    if (const auto target = held.as<compat::OleCommandTarget>()) {
        if (const auto services = target.as<compat::ServiceProvider>())
            static_cast<void>(services->QueryService(compat::SID_SWebBrowserApp, compat::WebBrowser2::kId,
                                                     frameBrowser.putVoid()));  // empty when it fails
    }
    compat::Rect area;
    compat::GetClientRect(siteWindow, area);
    if (!m_host.Create(siteWindow, area) ||
        !m_control.Create(m_host.window(), area,
                          ToolbarSite{static_cast<compat::ObjectWithSite*>(this), m_inputSite, frameBrowser})) {
        TakeDown();
        return compat::E_FAIL;
    }
    m_app.SetToolbarBand(this);
    return compat::S_OK;
}

void CWToolBar::TakeDown() {
    // Once the record is gone no sidebar browser can come, so the one kept
    // is released outside the application's lock.
    m_app.ClearToolbarBand(this);
    m_sidebarBrowser.reset();
    m_control.Destroy();
    m_host.Destroy();
    m_inputSite.reset();
}

HRESULT CWToolBar::GetSite(const compat::Guid& id, void** site) {
    if (!site)
        return compat::E_POINTER;
    *site = nullptr;
    return m_inputSite ? m_inputSite->QueryInterface(id, site) : compat::E_FAIL;
}

HRESULT CWToolBar::GetWindow(compat::WindowHandle& window) {
    window = m_control.window();
    return compat::S_OK;
}

HRESULT CWToolBar::ShowDW(bool show) {
    if (m_control.window())
        compat::ShowWindow(m_control.window(), show ? compat::SW_SHOW : compat::SW_HIDE);
    return compat::S_OK;
}

HRESULT CWToolBar::CloseDW(std::uint32_t) {
    return ShowDW(false);
}

HRESULT CWToolBar::GetBandInfo(std::uint32_t, std::uint32_t, compat::DeskBandInfo* info) {
    if (!info)
        return compat::E_INVALIDARG;
    if (info->mask & compat::DBIM_MINSIZE)
        info->minSize = compat::Point{200, 24};
    if (info->mask & compat::DBIM_MAXSIZE)
        info->maxSize = compat::Point{-1, 24};
    if (info->mask & compat::DBIM_INTEGRAL)
        info->integral = compat::Point{1, 1};
    if (info->mask & compat::DBIM_ACTUAL)
        info->actual = compat::Point{300, 24};
    if (info->mask & compat::DBIM_MODEFLAGS)
        info->modeFlags = compat::DBIMF_VARIABLEHEIGHT | compat::DBIMF_BREAK;
    info->mask &= ~compat::DBIM_BKCOLOR;
    return compat::S_OK;
}

HRESULT CWToolBar::UIActivateIO(bool, const compat::MessageRecord*) {
    return compat::S_OK;
}

HRESULT CWToolBar::HasFocusIO() {
    const compat::WindowHandle focus = compat::GetFocus();
    const compat::WindowHandle toolbar = m_control.window();
    return focus && toolbar && (focus == toolbar || compat::IsChild(toolbar, focus)) ? compat::S_OK : compat::S_FALSE;
}

// The band takes no key for itself: every key goes on to the focused window.
HRESULT CWToolBar::TranslateAcceleratorIO(const compat::MessageRecord&) {
    return compat::S_FALSE;
}

void CWToolBar::SetSidebarBrowser(compat::ComUnknown* browser) {
    m_sidebarBrowser = compat::ComPtr<compat::ComUnknown>::share(browser);
}

void* CWToolBar::findInterface(const compat::Guid& id) {
    if (id == compat::DockingWindow::kId || id == compat::OleWindow::kId)
        return static_cast<compat::DeskBand*>(this);
    return ComObject::findInterface(id);
}

}  // namespace ovix
