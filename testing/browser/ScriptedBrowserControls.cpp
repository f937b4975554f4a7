#include "testing/browser/ScriptedBrowserControls.h"

#include "compat/browser/AxHost.h"

namespace compat::testing {

ScriptedBrowserControls::ScriptedBrowserControls() : m_previous(browserControlFactory()) {
    setBrowserControlFactory(&ScriptedBrowser::control);
}

ScriptedBrowserControls::~ScriptedBrowserControls() {
    setBrowserControlFactory(m_previous);
}

ComPtr<ScriptedBrowser> hostedBrowser(WindowHandle container) {
    ComPtr<ComUnknown> control;
    if (!succeeded(AtlAxGetControl(container, control.put())))
        return {};
    // The control of another factory is no scripted browser.
    auto* browser = dynamic_cast<ScriptedBrowser*>(control.as<WebBrowser2>().get());
    return ComPtr<ScriptedBrowser>::share(browser);
}

ComPtr<DocHostUIHandler> controlHostHandler(WindowHandle container) {
    ComPtr<ComUnknown> host;
    if (!succeeded(AtlAxGetHost(container, host.put())))
        return {};
    return host.as<DocHostUIHandler>();
}

}  // namespace compat::testing
