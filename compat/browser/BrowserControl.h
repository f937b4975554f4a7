#pragma once
// The browser control that the control host (AxHost.h) puts in its
// containers, and the factory that makes it. No browser engine is hosted on
// Linux: a process that registers no factory can make no browser control.
// Any thread may register and read the factory.

#include <string_view>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/com/ClientSite.h"
#include "compat/com/ComPtr.h"

namespace compat {

// A browser control as its host holds it: a browser, told what happens to
// its own window. The host hands it the keys forwarded to its container
// through its OleInPlaceActiveObject, when it has one.
class COMPAT_BROWSER_EXPORT BrowserControl : public WebBrowser2 {
public:
    // Starts a navigation to `url`, the address that the host was created
    // with: the host's own navigation, not a call of its caller's.
    virtual HRESULT navigate(std::string_view url) = 0;
    // From the control's window: it gained or lost the focus; it is destroyed.
    virtual void focusChanged(bool gotFocus) = 0;
    virtual void windowDestroyed() = 0;

protected:
    ~BrowserControl() = default;
};

// Makes the browser control whose own window is `window`, a child of its
// container, on the host's site `site`; empty when it cannot.
using BrowserControlFactory = ComPtr<BrowserControl> (*)(WindowHandle window, ComPtr<ClientSite> site);

// Registers `factory` for the process in place of the one before it; null
// leaves none.
COMPAT_BROWSER_EXPORT void setBrowserControlFactory(BrowserControlFactory factory);
// The registered factory, or null.
COMPAT_BROWSER_EXPORT BrowserControlFactory browserControlFactory();

}  // namespace compat
