#include "testing/browser/BandSite.h"

namespace compat::testing {

BandSite::BandSite(WindowHandle window, ComPtr<WebBrowser2> browser, BandSiteLinks links, std::shared_ptr<CallLog> log)
    : m_window(window), m_links(links), m_log(std::move(log)), m_browser(std::move(browser)) {}

HRESULT BandSite::GetWindow(WindowHandle& window) {
    window = m_window;
    return S_OK;
}

HRESULT BandSite::OnFocusChangeIS(ComUnknown*, bool focus) {
    m_log->add(std::string("OnFocusChangeIS ") + (focus ? "true" : "false"));
    return S_OK;
}

HRESULT BandSite::QueryService(const Guid& service, const Guid& id, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<WebBrowser2> browser;
    {
        std::lock_guard lock(m_mutex);
        browser = m_browser;
    }
    if (service != SID_SWebBrowserApp || !browser)
        return E_NOINTERFACE;
    return browser->QueryInterface(id, object);
}

void BandSite::detach() {
    ComPtr<WebBrowser2> browser;
    std::lock_guard lock(m_mutex);
    browser = std::move(m_browser);
}

void* BandSite::findInterface(const Guid& id) {
    if ((id == OleWindow::kId && !m_links.window) || (id == InputObjectSite::kId && !m_links.inputObjectSite) ||
        (id == OleCommandTarget::kId && !m_links.commandTarget) ||
        (id == ServiceProvider::kId && !m_links.serviceProvider))
        return nullptr;
    return ComObject::findInterface(id);
}

}  // namespace compat::testing
