#pragma once
// Scripted browsers as the control host's browser controls: while a
// ScriptedBrowserControls lives, the control host (compat/browser/AxHost.h)
// makes each browser control a ScriptedBrowser.

#include "compat/browser/BrowserControl.h"
#include "compat/browser/DocHostUIHandler.h"
#include "testing/browser/ScriptedBrowser.h"

namespace compat::testing {

class ScriptedBrowserControls {
public:
    // Registers the scripted browser's factory.
    ScriptedBrowserControls();
    // Registers the factory that was registered before.
    ~ScriptedBrowserControls();
    ScriptedBrowserControls(const ScriptedBrowserControls&) = delete;
    ScriptedBrowserControls& operator=(const ScriptedBrowserControls&) = delete;

private:
    const BrowserControlFactory m_previous;
};

// The scripted browser control in `container`; empty when it holds none.
ComPtr<ScriptedBrowser> hostedBrowser(WindowHandle container);
// The default UI handler of the control host in `container`; empty when it
// holds no control.
ComPtr<DocHostUIHandler> controlHostHandler(WindowHandle container);

}  // namespace compat::testing
