#pragma once
// The control host of the system's control library: it makes a control in a
// container window, sizes the control's window to it, hands the control the
// keys forwarded to the container (WM_FORWARDMSG), and is the control's first
// client site, whose default UI handler records every call. A window of
// class "AtlAxWinLic80" makes, when it is created, the control named by its
// text: the browser control for its class id, or a browser control that
// navigates to the text when it is an address. The browser control is the
// only control there is. A control is made on its container's thread; the
// getters may be called from any thread.

#include <cstdint>
#include <string_view>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/CallLog.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/browser/ScriptedBrowser.h"
#include "compat/com/ClientSite.h"
#include "compat/com/ComObject.h"

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
// another class, E_FAIL when the container is not such a window or controls
// cannot be made.
COMPAT_BROWSER_EXPORT HRESULT AtlAxCreateControl(std::string_view name, WindowHandle container, ComUnknown** control);
// The control in `container`, or its host (the site, with
// AxWinAmbientDispatch), counted; E_FAIL when it holds none.
COMPAT_BROWSER_EXPORT HRESULT AtlAxGetControl(WindowHandle container, ComUnknown** control);
COMPAT_BROWSER_EXPORT HRESULT AtlAxGetHost(WindowHandle container, ComUnknown** host);

// The host's site, as the control's first client site.
class COMPAT_BROWSER_EXPORT AxHostSite final : public ComObject<ClientSite, DocHostUIHandler, AxWinAmbientDispatch> {
public:
    AxHostSite() = default;

    HRESULT GetContainer(Container** container) override;

    // The default UI handler: each call is recorded by its name; GetHostInfo
    // gives the document-host flags, and the handler changes nothing else
    // (S_FALSE where that tells the control to go on, E_NOTIMPL where there is
    // nothing to give).
    HRESULT ShowContextMenu(std::uint32_t id, Point point, ComUnknown* commandTarget, ComUnknown* object) override;
    HRESULT GetHostInfo(DocHostUiInfo& info) override;
    HRESULT ShowUI(std::uint32_t id, ComUnknown* activeObject, ComUnknown* commandTarget, ComUnknown* frame,
                   ComUnknown* document) override;
    HRESULT HideUI() override;
    HRESULT UpdateUI() override;
    HRESULT EnableModeless(bool enable) override;
    HRESULT OnDocWindowActivate(bool activate) override;
    HRESULT OnFrameWindowActivate(bool activate) override;
    HRESULT ResizeBorder(const Rect& border, ComUnknown* window, bool frameWindow) override;
    HRESULT TranslateAccelerator(const MessageRecord& message, const Guid* group, std::uint32_t command) override;
    HRESULT GetOptionKeyPath(std::string& path, std::uint32_t reserved) override;
    HRESULT GetDropTarget(DropTarget* proposed, DropTarget** target) override;
    HRESULT GetExternal(ComUnknown** external) override;
    HRESULT TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) override;
    HRESULT FilterDataObject(DataObject* object, DataObject** filtered) override;

    HRESULT GetDocHostFlags(std::uint32_t& flags) override;
    HRESULT PutDocHostFlags(std::uint32_t flags) override;

    // For tests: the UI handler's calls ("GetHostInfo", ...).
    std::vector<std::string> calls() const { return m_calls.lines(); }

private:
    CallLog m_calls;
    std::atomic<std::uint32_t> m_docHostFlags{DOCHOSTUIFLAG_NO3DBORDER};
};

// For tests: the browser control in `container` and its host's site; empty
// when it holds none.
COMPAT_BROWSER_EXPORT ComPtr<ScriptedBrowser> hostedBrowser(WindowHandle container);
COMPAT_BROWSER_EXPORT ComPtr<AxHostSite> controlHostSite(WindowHandle container);
// For tests: whether controls can be made at all (true until set).
COMPAT_BROWSER_EXPORT void setControlsCanBeMade(bool can);

}  // namespace compat
