#pragma once
// The sidebar: a vertical bar of the browser window that hosts a browser
// control. The control shows SidebarUrl while the main application's server
// answers, else the not-started or the starting page beside the module
// (static/morvane_notstarted.html, static/morvane_starting.html, as file
// addresses). The band follows the state that the poller posts to its
// listener window and, with "SidebarCheckOn", guards each navigation of its
// control: an address that is no command, no page under HomepageUrl
// (AdmitsPage) and neither state page is cancelled, and the band goes to the
// page of the live state instead (or lets the navigation go on when it is
// that page). It carries out the "morvane:" commands ":new(" and
// "morvane:startServer" of the pages it serves (those under HomepageUrl and
// its state pages) and cancels every command; it hands those pages the
// frame's browser as their external object, tells a page that defines both
// onShow and onHide when the bar is shown or hidden, and takes text dropped
// on the page (CDropTarget). Pages are the same when they are equal but for
// ASCII case and one trailing "/".
//
// SetSite builds the band window, the control and the listener; SetSite(null)
// takes everything down again (sinks, client site, windows, references), so
// that nothing outlives a closed browser window. The band runs on its
// browser window's thread.

#include <cstdint>
#include <string>

#include "addon/browser/sidebar/CDropTarget.h"
#include "addon/browser/sidebar/ServerStateListenerWnd.h"
#include "compat/browser/DeskBand.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/browser/InPlace.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/ObjectWithSite.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/com/ComObject.h"

namespace ovix {

class CBarBand final : public compat::ComObject<compat::ObjectWithSite, compat::DeskBand, compat::InputObject,
                                                compat::ClientSite, compat::OleInPlaceSite, compat::Dispatch,
                                                compat::DocHostUIHandler, compat::DropTarget, compat::OleControlSite> {
public:
    CBarBand();

    // ObjectWithSite. A site: builds the band (E_FAIL when its window
    // cannot be made). Null: takes it down, S_OK.
    compat::HRESULT SetSite(compat::ComUnknown* site) override;
    compat::HRESULT GetSite(const compat::Guid& id, void** site) override;

    // DeskBand, and OleWindow for both it and OleInPlaceSite: the band window.
    compat::HRESULT GetWindow(compat::WindowHandle& window) override;
    // Shows or hides the band window and tells the page; records the
    // sidebar-shown flag either way.
    compat::HRESULT ShowDW(bool show) override;
    // Hides, then destroys the band window.
    compat::HRESULT CloseDW(std::uint32_t reserved) override;
    compat::HRESULT GetBandInfo(std::uint32_t bandId, std::uint32_t viewMode, compat::DeskBandInfo* info) override;

    // InputObject: activates the control; whether the focus is in the
    // site window; hands keys to the control.
    compat::HRESULT UIActivateIO(bool activate, const compat::MessageRecord* message) override;
    compat::HRESULT HasFocusIO() override;
    compat::HRESULT TranslateAcceleratorIO(const compat::MessageRecord& message) override;

    // ClientSite and OleInPlaceSite of the control: in place in the band window.
    compat::HRESULT GetContainer(compat::Container** container) override;
    compat::HRESULT CanInPlaceActivate() override;
    compat::HRESULT OnInPlaceActivate() override;
    compat::HRESULT OnInPlaceDeactivate() override;
    compat::HRESULT GetWindowContext(compat::Rect& position, compat::Rect& clip) override;
    // OleControlSite: tells the input-object site.
    compat::HRESULT OnFocus(bool gotFocus) override;

    // The control's event sink: BeforeNavigate2 and DocumentComplete.
    compat::HRESULT GetIDsOfNames(std::string_view name, compat::DispatchId& id) override;
    compat::HRESULT Invoke(compat::DispatchId id, std::span<const compat::DispatchValue> arguments,
                           compat::DispatchValue& result) override;

    // DocHostUIHandler: the control host's handler does the rest.
    compat::HRESULT GetDropTarget(compat::DropTarget* proposed, compat::DropTarget** target) override;
    compat::HRESULT GetExternal(compat::ComUnknown** external) override;
    compat::HRESULT ShowContextMenu(std::uint32_t id, compat::Point point, compat::ComUnknown* commandTarget,
                                    compat::ComUnknown* object) override;
    compat::HRESULT GetHostInfo(compat::DocHostUiInfo& info) override;
    compat::HRESULT ShowUI(std::uint32_t id, compat::ComUnknown* activeObject, compat::ComUnknown* commandTarget,
                           compat::ComUnknown* frame, compat::ComUnknown* document) override;
    compat::HRESULT HideUI() override;
    compat::HRESULT UpdateUI() override;
    compat::HRESULT EnableModeless(bool enable) override;
    compat::HRESULT OnDocWindowActivate(bool activate) override;
    compat::HRESULT OnFrameWindowActivate(bool activate) override;
    compat::HRESULT ResizeBorder(const compat::Rect& border, compat::ComUnknown* window, bool frameWindow) override;
    compat::HRESULT TranslateAccelerator(const compat::MessageRecord& message, const compat::Guid* group,
                                         std::uint32_t command) override;
    compat::HRESULT GetOptionKeyPath(std::string& path, std::uint32_t reserved) override;
    compat::HRESULT TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) override;
    compat::HRESULT FilterDataObject(compat::DataObject* object, compat::DataObject** filtered) override;

    // The band's own DropTarget takes nothing: drops go to CDropTarget.
    compat::HRESULT DragEnter(compat::DataObject* data, std::uint32_t keyState, compat::Point point,
                              std::uint32_t& effect) override;
    compat::HRESULT DragOver(std::uint32_t keyState, compat::Point point, std::uint32_t& effect) override;
    compat::HRESULT DragLeave() override;
    compat::HRESULT Drop(compat::DataObject* data, std::uint32_t keyState, compat::Point point,
                         std::uint32_t& effect) override;

    // The page of server state `state` (0, 1 or 2), unless it is shown
    // already; any other state does nothing.
    void ShowStatePage(std::uintptr_t state);

    // For the drop target.
    compat::WindowHandle BandWindow() const { return m_window; }
    compat::ComPtr<compat::WebBrowser2> FrameBrowser() const { return m_frameBrowser; }

protected:
    void* findInterface(const compat::Guid& id) override;

private:
    ~CBarBand() override;

    void CreateHostedBrowser();
    // ShowDW's work.
    void ShowBar(bool show);
    void OnBeforeNavigate2(const std::string& url, bool& cancel);
    void OnDocumentComplete();
    void CallPageScript(bool show);
    // Everything that SetSite made, undone.
    void TakeDown();

    std::string StatePage(int state) const;
    bool IsStatePage(std::string_view url) const;
    // The state as it is now: the launcher's mutex, then the server's answer.
    int LiveState() const;
    // Whether the page shown now may give commands and reach the frame.
    bool ServesShownPage() const;

    const std::string m_notStartedPage;
    const std::string m_startingPage;
    compat::WindowHandle m_siteWindow = 0;
    compat::ComPtr<compat::InputObjectSite> m_inputSite;
    compat::ComPtr<compat::WebBrowser2> m_frameBrowser;
    compat::ComPtr<compat::WebBrowser2> m_hostedBrowser;
    compat::ComPtr<compat::InPlaceOleObject> m_hostedObject;
    compat::ComPtr<compat::DocHostUIHandler> m_defaultHandler;
    compat::WindowHandle m_window = 0;
    const compat::ComPtr<CDropTarget> m_dropTarget;
    ServerStateListenerWnd m_listener;
    std::uint32_t m_eventsCookie = 0;
    bool m_documentReady = false;  // a page of the control has loaded
    // The page the band last navigated to or let pass.
    std::string m_currentPage;
};

}  // namespace ovix
