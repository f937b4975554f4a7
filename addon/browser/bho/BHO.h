#pragma once
// The browser helper object: one per browser window, placed on the window's
// browser (SetSite). Of each navigation it catches the "morvane:" commands
// of pages under HomepageUrl (AdmitsPage) and carries them out in the order
// close, sidebar=, toolbar=, ":new(", then cancels them; commands from any
// other page go on untouched. The first one placed in the process saves the
// window's small icon for the popups. Taken off its site, it stops listening
// and lets go of the browser. It runs on its window's thread.

#include <cstdint>

#include "compat/browser/ObjectWithSite.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/com/ComObject.h"

namespace ovix {

class BHO final : public compat::ComObject<compat::ObjectWithSite, compat::Dispatch> {
public:
    BHO() = default;

    // With a browser: listens to its events (S_OK also for a site that has
    // no browser). Null: stops listening, lets go of the browser, S_OK.
    compat::HRESULT SetSite(compat::ComUnknown* site) override;
    // The browser's interface `id`; E_FAIL without a browser.
    compat::HRESULT GetSite(const compat::Guid& id, void** site) override;

    // The event sink: BeforeNavigate2 only.
    compat::HRESULT GetIDsOfNames(std::string_view name, compat::DispatchId& id) override;
    compat::HRESULT Invoke(compat::DispatchId id, std::span<const compat::DispatchValue> arguments,
                           compat::DispatchValue& result) override;

private:
    ~BHO() override;

    void OnBeforeNavigate2(const std::string& url, bool& cancel);
    void leaveBrowser();

    compat::ComPtr<compat::WebBrowser2> m_browser;
    std::uint32_t m_cookie = 0;
};

}  // namespace ovix
