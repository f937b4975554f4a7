#pragma once
// The control host of the system's control library: it makes a control in a
// container window, sizes the control's window to it, hands the control the
// keys forwarded to the container (WM_FORWARDMSG), and is the control's first
// client site (AxHostSite.h). A window of class "AtlAxWinLic80" makes, when
// it is created, the control named by its text: the browser control for its
// class id, or a browser control that navigates to the text when it is an
// address. The browser control is the only control there is, and the
// registered factory makes it (BrowserControl.h). A control is made on its
// container's thread; the getters may be called from any thread.

#include <cstdint>
#include <string_view>

#include "compat/browser/BrowserExport.h"
#include "compat/com/ComUnknown.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

inline constexpr std::string_view kAxHostClass = "AtlAxWinLic80";
// The class of a browser control's own window, a child of its container.
inline constexpr std::string_view kBrowserControlClass = "Shell Embedding";
constexpr HRESULT REGDB_E_CLASSNOTREG = makeResult(0x80040154);

// The host's ambient properties: the document-host flags it gives the
// control (DOCHOSTUIFLAG_NO3DBORDER until set).
class AxWinAmbientDispatch : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{B6EA2051-048A-11D1-82B9-00C04FB9942E}");

    virtual HRESULT GetDocHostFlags(std::uint32_t& flags) = 0;
    virtual HRESULT PutDocHostFlags(std::uint32_t flags) = 0;

protected:
    ~AxWinAmbientDispatch() = default;
};

// Makes the control `name` (a class id in braces, or an address for a
// browser control that navigates there) in `container`, a window of the
// calling thread; the control, counted, in `control`. REGDB_E_CLASSNOTREG for
// another class, and for the browser control while no factory is registered;
// E_FAIL when the container is not such a window or the factory makes none.
COMPAT_BROWSER_EXPORT HRESULT AtlAxCreateControl(std::string_view name, WindowHandle container, ComUnknown** control);
// The control in `container`, or its host (the site, with
// AxWinAmbientDispatch), counted; E_FAIL when it holds none.
COMPAT_BROWSER_EXPORT HRESULT AtlAxGetControl(WindowHandle container, ComUnknown** control);
COMPAT_BROWSER_EXPORT HRESULT AtlAxGetHost(WindowHandle container, ComUnknown** host);

}  // namespace compat
