#pragma once
// A scripted browser: the browser of a browser window (its current tab), or
// a browser control that a control host made in a window. It loads the pages
// of LoadedPage.h and raises the events a browser raises, and it records
// every call made on it for tests.
//
// A navigation (Navigate2, or the page's own) first goes to every advised
// sink as BeforeNavigate2; when no sink leaves Cancel set, the page loads
// later, through the message loop of the browser's thread: a newer load
// replaces one still on its way; then location, title and document change,
// the control asks its UI handler (its client site's DocHostUIHandler) for
// its host info and, while it takes drops, for its drop target, and
// DocumentComplete goes to every sink. A page that cannot load fails: no
// change, no event.
//
// The browser lives on the thread of its window: Navigate2 called from
// another thread runs there, as a call through its apartment would; tests'
// actions run there too, and wait. Getters may be called from any thread.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/CallLog.h"
#include "compat/browser/ConnectionPoint.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/browser/InPlace.h"
#include "compat/browser/ScriptedDocument.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/com/ComObject.h"

namespace compat {

class COMPAT_BROWSER_EXPORT ScriptedBrowser final
    : public ComObject<WebBrowser2, ConnectionPointContainer, InPlaceOleObject, OleInPlaceActiveObject> {
public:
    // What a window's browser asks of its window.
    class Frame {
    public:
        virtual HRESULT showBrowserBar(const Guid& classId, bool show) = 0;

    protected:
        ~Frame() = default;
    };

    // The browser of the window `window`; `frame` answers its bar requests
    // until detachFrame.
    static ComPtr<ScriptedBrowser> forWindow(WindowHandle window, Frame* frame);
    // A browser control whose own window is `window`, on the control host's
    // site `site`.
    static ComPtr<ScriptedBrowser> control(WindowHandle window, ComPtr<ClientSite> site);
    void detachFrame();

    HRESULT Navigate2(std::string_view url) override;
    HRESULT GetLocationURL(std::string& url) override;
    HRESULT GetLocationName(std::string& name) override;
    HRESULT GetHWND(WindowHandle& window) override;
    HRESULT ShowBrowserBar(const DispatchValue& classId, const DispatchValue& show, const DispatchValue& size) override;
    HRESULT PutVisible(bool visible) override;
    HRESULT GetDocument(ComUnknown** document) override;
    HRESULT PutRegisterAsDropTarget(bool registered) override;
    HRESULT GetApplication(ComUnknown** application) override;

    HRESULT FindConnectionPoint(const Guid& events, ConnectionPoint** point) override;

    // A control's site is asked for its UI handler, in-place site and
    // control site when they are needed.
    HRESULT SetClientSite(ClientSite* site) override;
    HRESULT GetClientSite(ClientSite** site) override;
    HRESULT GetMiscStatus(std::uint32_t& status) override;
    // Activates in place on `site` (else the client site): CanInPlaceActivate,
    // OnInPlaceActivate, GetWindowContext (where the control's window goes);
    // OLEIVERB_UIACTIVATE also gives the control's window the focus.
    HRESULT DoVerb(std::int32_t verb, const MessageRecord* message, ClientSite* site, std::int32_t index,
                   WindowHandle parent, const Rect& rect) override;
    // The UI handler's TranslateAccelerator first; the browser itself takes
    // Tab, Backspace and F5 down.
    HRESULT TranslateAccelerator(const MessageRecord& message) override;

    // Starts a navigation without recording a call (the control host's
    // first address).
    HRESULT navigate(std::string_view url);
    // From the control's window: it gained or lost the focus (the control
    // site hears of it); it is destroyed (in-place activation ends).
    void focusChanged(bool gotFocus);
    void windowDestroyed();

    // For tests.
    enum class Outcome { Asking, Loading, Completed, Cancelled, Failed, Replaced };
    struct Navigation {
        std::string url;
        Outcome outcome = Outcome::Asking;
    };
    std::vector<Navigation> navigations() const;
    std::string location() const;
    std::string title() const;
    // Calls made on it: "Navigate2(<url>)", "ShowBrowserBar(<values>)",
    // "PutVisible(true)", "PutRegisterAsDropTarget(true)", "SetClientSite(site)"
    // or "(null)", "DoVerb(-4)", "TranslateAccelerator(256, 9)".
    std::vector<std::string> calls() const;
    std::vector<ScriptCall> scriptCalls() const;
    std::size_t sinkCount() const;
    bool inPlaceActive() const;
    // Its own window: the window's, or the control's.
    WindowHandle window() const { return m_window; }

    // For tests, as the page or the user, on the browser's thread: the page's
    // script sets its location (false when the browser's window is gone); the
    // user drops `data` at `point` (screen); the page's script reads
    // window.external (the UI handler's GetExternal).
    bool pageNavigates(std::string_view url);
    struct DropOutcome {
        bool reachedTarget = false;  // the browser takes drops and has a target
        HRESULT result = S_OK;       // of Drop, or of DragEnter when that refused
        std::uint32_t effect = 0;
    };
    DropOutcome drop(DataObject* data, Point point);
    ComPtr<ComUnknown> pageExternal();
    // Waits until the loads started on its thread are done; false when its
    // window is gone. Not from the browser's own thread.
    bool settle();

private:
    friend class BrowserEvents;

    ScriptedBrowser(WindowHandle window, Frame* frame, ComPtr<ClientSite> site);
    ComPtr<ComUnknown> self();
    void fire(DispatchId event, std::vector<DispatchValue> arguments);
    void finishLoad(std::uint64_t serial, std::size_t index);
    // Asks the UI handler for the drop target of the current page.
    void chooseDropTarget();
    ComPtr<DocHostUIHandler> uiHandler() const;
    HRESULT advise(Dispatch* sink, std::uint32_t& cookie);
    HRESULT unadvise(std::uint32_t cookie);

    const WindowHandle m_window;
    const bool m_isControl;
    CallLog m_calls;
    std::shared_ptr<ScriptLog> m_scripts = std::make_shared<ScriptLog>();

    mutable std::mutex m_mutex;
    Frame* m_frame;
    ComPtr<ClientSite> m_clientSite;
    ComPtr<OleInPlaceSite> m_inPlaceSite;  // while active in place
    std::map<std::uint32_t, ComPtr<Dispatch>> m_sinks;
    std::uint32_t m_lastCookie = 0;
    std::vector<Navigation> m_navigations;
    std::uint64_t m_loadSerial = 0;
    std::string m_location;
    std::string m_title;
    ComPtr<HtmlDocument> m_document;
    bool m_takesDrops = false;
    ComPtr<DropTarget> m_dropTarget;
};

// Waits until the loads started on the thread of `window` are done, as
// ScriptedBrowser::settle does.
bool settleBrowsersOf(WindowHandle window);

}  // namespace compat
