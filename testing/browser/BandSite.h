#pragma once
// The site a browser window gives each of its bands: the window of the bar
// area the band sits in, the input-object site that hears of the band's
// focus, and a command target that is also the service provider through
// which the band finds the window's browser (SID_SWebBrowserApp). Tests can
// take each of these links away, as a host without it would. Any thread may
// call it.

#include <memory>
#include <mutex>

#include "compat/browser/CallLog.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/OleWindow.h"
#include "compat/browser/ServiceProvider.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/com/ComObject.h"

namespace compat::testing {

struct BandSiteLinks {
    bool window = true;
    bool inputObjectSite = true;
    bool commandTarget = true;
    bool serviceProvider = true;
};

class BandSite final
    : public ComObject<OleWindow, InputObjectSite, OleCommandTarget, ServiceProvider> {
public:
    // OnFocusChangeIS is recorded in `log` as "OnFocusChangeIS true" or
    // "... false".
    BandSite(WindowHandle window, ComPtr<WebBrowser2> browser, BandSiteLinks links, std::shared_ptr<CallLog> log);

    HRESULT GetWindow(WindowHandle& window) override;
    HRESULT OnFocusChangeIS(ComUnknown* object, bool focus) override;
    HRESULT QueryService(const Guid& service, const Guid& id, void** object) override;

    // The window closes: the site lets go of its browser.
    void detach();

protected:
    void* findInterface(const Guid& id) override;

private:
    const WindowHandle m_window;
    const BandSiteLinks m_links;
    const std::shared_ptr<CallLog> m_log;
    std::mutex m_mutex;
    ComPtr<WebBrowser2> m_browser;
};

}  // namespace compat::testing
