#pragma once
// The toolbar band that the browser shows in its toolbar area: a band whose
// window is the toolbar control (CWToolBarCtrl) inside a host window
// (CWndReflection), made in the site's window when the band is sited. While
// sited it is the application's toolbar band. The browser calls it on the
// user-interface thread of its window; the application may hand it the
// sidebar's browser from any thread.

#include <cstdint>

#include "addon/browser/toolbar/CWToolBarCtrl.h"
#include "addon/browser/toolbar/CWndReflection.h"
#include "addon/core/CVantileApp.h"
#include "compat/browser/DeskBand.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/ObjectWithSite.h"
#include "compat/com/ComObject.h"

namespace ovix {

class CWToolBar : public compat::ComObject<compat::ObjectWithSite, compat::DeskBand, compat::InputObject>,
                  public ToolbarBand {
public:
    explicit CWToolBar(CVantileApp& app) : m_app(app), m_control(app) {}

    // With a site: takes the site's window, input-object site and browser
    // (SID_SWebBrowserApp through its command target's service provider),
    // makes the windows in the site's window (E_FAIL, with nothing made, when
    // they cannot be) and records itself in the application. With none (and
    // before a new site): forgets the record, destroys the windows and lets
    // go of everything it holds; S_OK.
    compat::HRESULT SetSite(compat::ComUnknown* site) override;
    // The input-object site's interface `id`; E_FAIL without a site.
    compat::HRESULT GetSite(const compat::Guid& id, void** site) override;

    // The toolbar control's window.
    compat::HRESULT GetWindow(compat::WindowHandle& window) override;
    // Shows or hides the toolbar control; CloseDW hides it and keeps it.
    compat::HRESULT ShowDW(bool show) override;
    compat::HRESULT CloseDW(std::uint32_t reserved) override;
    // Minimum (200, 24), maximum (-1, 24), steps (1, 1), actual (300, 24),
    // variable height on a row of its own, no title, the default background.
    compat::HRESULT GetBandInfo(std::uint32_t bandId, std::uint32_t viewMode, compat::DeskBandInfo* info) override;

    // Activation changes nothing; S_OK when the focus is in the toolbar
    // control; no key is the band's own (S_FALSE).
    compat::HRESULT UIActivateIO(bool activate, const compat::MessageRecord* message) override;
    compat::HRESULT HasFocusIO() override;
    compat::HRESULT TranslateAcceleratorIO(const compat::MessageRecord& message) override;

    // Keeps `browser` (counted) in place of the one kept before.
    void SetSidebarBrowser(compat::ComUnknown* browser) override;

protected:
    ~CWToolBar() override { TakeDown(); }
    void* findInterface(const compat::Guid& id) override;

private:
    void TakeDown();

    CVantileApp& m_app;
    compat::ComPtr<compat::InputObjectSite> m_inputSite;
    CWndReflection m_host;
    CWToolBarCtrl m_control;
    // The sidebar's browser, as the application hands it to the toolbar
    // band; nothing here reads it. Written under the application's band lock
    // while the band is recorded, released once it no longer is.
    compat::ComPtr<compat::ComUnknown> m_sidebarBrowser;
};

}  // namespace ovix
