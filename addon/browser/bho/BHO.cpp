#include "addon/browser/bho/BHO.h"

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/popup/BrowserSmallIcon.h"
#include "addon/browser/popup/NewWindowCommand.h"
#include "addon/core/AdmitsPage.h"
#include "addon/core/CVantileApp.h"
#include "addon/core/PageCommands.h"
#include "compat/browser/ConnectionPoint.h"
#include "compat/browser/Window.h"

namespace ovix {

using namespace compat;

BHO::~BHO() {
    leaveBrowser();
}

HRESULT BHO::SetSite(ComUnknown* site) {
    leaveBrowser();
    if (!site)
        return S_OK;
    if (!succeeded(site->QueryInterface(WebBrowser2::kId, m_browser.putVoid())))
        return S_OK;
    if (!succeeded(AtlAdvise(m_browser.get(), this, DIID_DWebBrowserEvents2, m_cookie)))
        m_cookie = 0;  // no connection: the helper hears no navigation
    WindowHandle frame = 0;
    if (succeeded(m_browser->GetHWND(frame)))
        SaveBrowserSmallIcon(frame);
    return S_OK;
}

void BHO::leaveBrowser() {
    // A connection that cannot be ended goes with the browser's last reference.
    if (m_browser && m_cookie)
        static_cast<void>(AtlUnadvise(m_browser.get(), DIID_DWebBrowserEvents2, m_cookie));
    m_cookie = 0;
    m_browser.reset();
}

HRESULT BHO::GetSite(const Guid& id, void** site) {
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return m_browser ? m_browser->QueryInterface(id, site) : E_FAIL;
}

HRESULT BHO::GetIDsOfNames(std::string_view, DispatchId&) {
    return DISP_E_UNKNOWNNAME;
}

HRESULT BHO::Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue&) {
    if (id != DISPID_BEFORENAVIGATE2)
        return S_OK;
    const auto navigation = beforeNavigate2Arguments(arguments);
    if (!navigation)
        return DISP_E_BADPARAMCOUNT;
    OnBeforeNavigate2(*navigation.url, *navigation.cancel);
    return S_OK;
}

void BHO::OnBeforeNavigate2(const std::string& url, bool& cancel) {
    if (!IsPageCommand(url) || !m_browser)
        return;
    std::string location;
    if (!succeeded(m_browser->GetLocationURL(location)) || !AdmitsPage(theApp.config.HomepageUrl, location))
        return;
    if (url.starts_with(kCloseCommand)) {
        WindowHandle frame = 0;
        if (succeeded(m_browser->GetHWND(frame)))
            PostMessage(frame, WM_CLOSE, 0, 0);
    }
    // A bar that the browser cannot show or hide stays as it is; the command
    // is cancelled all the same.
    const auto showBar = [&](std::string_view key, const Guid& bar) {
        if (const int flag = ParseFlagParam(url, key))
            static_cast<void>(m_browser->ShowBrowserBar(bar.toString(), flag == 1, std::int32_t{0}));
    };
    showBar(kSidebarFlag, kBarBandClassId);
    showBar(kToolbarFlag, kWToolBarClassId);
    ParseNewWindowCommand(url);
    cancel = true;
}

}  // namespace ovix
