#include "addon/browser/sidebar/CBarBand.h"

#include <utility>

#include "addon/browser/popup/NewWindowCommand.h"
#include "addon/core/AdmitsPage.h"
#include "addon/core/CVantileApp.h"
#include "addon/core/PageCommands.h"
#include "addon/core/Singleton.h"
#include "addon/core/coding/CURLEncode.h"
#include "addon/core/server/LauncherControl.h"
#include "base/Ascii.h"
#include "compat/browser/ActiveWindow.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/ConnectionPoint.h"
#include "compat/browser/HtmlWindow2.h"
#include "compat/browser/ServiceProvider.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"
#include "compat/ipc/NamedMutex.h"
#include "compat/system/ModulePath.h"

namespace ovix {

using namespace compat;

namespace {

constexpr std::string_view kBandWindowClass = "BarBand";
constexpr std::string_view kTitle = "Morvane";
constexpr Point kMinSize{155, 100};
constexpr Point kMaxSize{155, -1};
constexpr Point kIntegral{0, 1};
constexpr Point kActualSize{155, 0};

// The file address of the page `name` in the static folder beside the
// module; bytes that an address cannot hold as they are, percent-encoded.
std::string staticPage(std::string_view name) {
    const std::string path = (modulePath(&theApp).parent_path() / "static" / name).string();
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = byte > 0x20 && byte < 0x7F && c != '%' && c != '?' && c != '#';
        url += plain ? std::string(1, c) : "%" + CURLEncode::ToHex(byte);
    }
    return url;
}

std::string_view withoutTrailingSlash(std::string_view url) {
    return url.ends_with('/') ? url.substr(0, url.size() - 1) : url;
}

bool samePage(std::string_view a, std::string_view b) {
    return asciiEqualNoCase(withoutTrailingSlash(a), withoutTrailingSlash(b));
}

}  // namespace

CBarBand::CBarBand()
    : m_notStartedPage(staticPage("morvane_notstarted.html")),
      m_startingPage(staticPage("morvane_starting.html")),
      m_dropTarget(ComPtr<CDropTarget>::adopt(new CDropTarget(this))) {}

CBarBand::~CBarBand() {
    m_dropTarget->Detach();
    // Windows are destroyed on their own thread.
    const WindowHandle window = m_window ? m_window : m_listener.Handle();
    const auto thread = window ? windowThread(window) : std::nullopt;
    if (!thread || *thread == currentThreadId() || !runOnWindowThread(window, [this] { TakeDown(); }))
        TakeDown();
}

void* CBarBand::findInterface(const Guid& id) {
    if (id == OleWindow::kId || id == DockingWindow::kId)
        return static_cast<DeskBand*>(this);
    return ComObject::findInterface(id);
}

HRESULT CBarBand::SetSite(ComUnknown* site) {
    TakeDown();
    if (!site)
        return S_OK;
    // A step that fails leaves its member empty, and the band is built all the same.
    const auto given = ComPtr<ComUnknown>::share(site);
    const auto window = given.as<OleWindow>();
    if (window && !succeeded(window->GetWindow(m_siteWindow)))
        m_siteWindow = 0;
    m_inputSite = given.as<InputObjectSite>();
    if (const auto services = given.as<OleCommandTarget>().as<ServiceProvider>())
        static_cast<void>(services->QueryService(SID_SWebBrowserApp, WebBrowser2::kId, m_frameBrowser.putVoid()));
    Rect area;
    GetClientRect(m_siteWindow, area);
    m_window = CreateWindowEx(0, kBandWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                              area.width(), area.height(), m_siteWindow, 0);
    if (!m_window)
        return E_FAIL;
    CreateHostedBrowser();
    if (m_listener.Create(this))
        Singleton<ServerState>::Instance().AddListener(m_listener.Handle());
    return S_OK;
}

void CBarBand::CreateHostedBrowser() {
    ComPtr<ComUnknown> control;
    if (!succeeded(AtlAxCreateControl(CLSID_WebBrowser.toString(), m_window, control.put())))
        return;
    m_hostedBrowser = control.as<WebBrowser2>();
    m_hostedObject = control.as<InPlaceOleObject>();
    if (!m_hostedBrowser || !m_hostedObject) {
        m_hostedBrowser.reset();
        m_hostedObject.reset();
        return;
    }
    // Without the host's site there is no default handler to forward to.
    ComPtr<ClientSite> hostSite;
    static_cast<void>(m_hostedObject->GetClientSite(hostSite.put()));
    m_defaultHandler = hostSite.as<DocHostUIHandler>();
    // Refused, the control keeps its host's site: its pages show, without the
    // bar's handler (no external object, no drop target).
    static_cast<void>(m_hostedObject->SetClientSite(this));
    // Without the connection no navigation is guarded and no command carried out.
    if (!succeeded(AtlAdvise(m_hostedBrowser.get(), this, DIID_DWebBrowserEvents2, m_eventsCookie)))
        m_eventsCookie = 0;
    theApp.SetSidebarBrowser(m_hostedBrowser.get());
    // Refused, nothing can be dropped on the page.
    static_cast<void>(m_hostedBrowser->PutRegisterAsDropTarget(true));
    // A page that cannot be opened leaves the bar empty until the next state page.
    static_cast<void>(m_hostedBrowser->Navigate2(theApp.config.SidebarUrl));
}

void CBarBand::TakeDown() {
    m_listener.Destroy();
    m_dropTarget->SetDocument({});
    // Taken down whatever the control answers: the references go below.
    if (m_hostedBrowser && m_eventsCookie)
        static_cast<void>(AtlUnadvise(m_hostedBrowser.get(), DIID_DWebBrowserEvents2, m_eventsCookie));
    m_eventsCookie = 0;
    if (m_hostedObject)
        static_cast<void>(m_hostedObject->SetClientSite(nullptr));
    if (m_window)
        DestroyWindow(std::exchange(m_window, 0));
    m_hostedBrowser.reset();
    m_hostedObject.reset();
    m_defaultHandler.reset();
    m_frameBrowser.reset();
    m_inputSite.reset();
    m_siteWindow = 0;
    m_documentReady = false;
    m_currentPage.clear();
}

HRESULT CBarBand::GetSite(const Guid& id, void** site) {
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return m_inputSite ? m_inputSite->QueryInterface(id, site) : E_FAIL;
}

HRESULT CBarBand::GetWindow(WindowHandle& window) {
    window = m_window;
    return S_OK;
}

HRESULT CBarBand::ShowDW(bool show) {
    ShowBar(show);
    return S_OK;
}

void CBarBand::ShowBar(bool show) {
    if (m_window) {
        ShowWindow(m_window, show ? SW_SHOW : SW_HIDE);
        CallPageScript(show);
    }
    theApp.sidebarShown = show ? 1 : 0;
}

HRESULT CBarBand::CloseDW(std::uint32_t) {
    ShowBar(false);
    if (m_window)
        DestroyWindow(std::exchange(m_window, 0));
    return S_OK;
}

HRESULT CBarBand::GetBandInfo(std::uint32_t, std::uint32_t, DeskBandInfo* info) {
    if (!info)
        return E_INVALIDARG;
    if (info->mask & DBIM_MINSIZE)
        info->minSize = kMinSize;
    if (info->mask & DBIM_MAXSIZE)
        info->maxSize = kMaxSize;
    if (info->mask & DBIM_INTEGRAL)
        info->integral = kIntegral;
    if (info->mask & DBIM_ACTUAL)
        info->actual = kActualSize;
    if (info->mask & DBIM_TITLE)
        info->title = kTitle;
    if (info->mask & DBIM_MODEFLAGS)
        info->modeFlags = DBIMF_VARIABLEHEIGHT;
    info->mask &= ~DBIM_BKCOLOR;
    return S_OK;
}

HRESULT CBarBand::UIActivateIO(bool activate, const MessageRecord* message) {
    if (!m_hostedObject)
        return E_FAIL;
    Rect area;
    GetClientRect(m_siteWindow, area);
    return m_hostedObject->DoVerb(activate ? OLEIVERB_UIACTIVATE : OLEIVERB_INPLACEACTIVATE, message, this, 0,
                                  m_siteWindow, area);
}

HRESULT CBarBand::HasFocusIO() {
    const WindowHandle focus = GetFocus();
    return focus && IsChild(m_siteWindow, focus) ? S_OK : S_FALSE;
}

HRESULT CBarBand::TranslateAcceleratorIO(const MessageRecord& message) {
    if (!m_hostedBrowser)
        return E_FAIL;
    ComPtr<ComUnknown> application;
    const HRESULT found = m_hostedBrowser->GetApplication(application.put());
    if (!succeeded(found))
        return found;
    const auto active = application.as<OleInPlaceActiveObject>();
    return active ? active->TranslateAccelerator(message) : E_NOINTERFACE;
}

HRESULT CBarBand::GetContainer(Container** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBarBand::CanInPlaceActivate() {
    return S_OK;
}

HRESULT CBarBand::OnInPlaceActivate() {
    return S_OK;
}

HRESULT CBarBand::OnInPlaceDeactivate() {
    return S_OK;
}

HRESULT CBarBand::GetWindowContext(Rect& position, Rect& clip) {
    GetClientRect(m_window, position);
    clip = position;
    return S_OK;
}

HRESULT CBarBand::OnFocus(bool gotFocus) {
    // A notice: the site may do nothing with it.
    if (m_inputSite)
        static_cast<void>(m_inputSite->OnFocusChangeIS(static_cast<ObjectWithSite*>(this), gotFocus));
    return S_OK;
}

HRESULT CBarBand::GetIDsOfNames(std::string_view, DispatchId&) {
    return E_NOTIMPL;
}

HRESULT CBarBand::Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue&) {
    if (id == DISPID_DOCUMENTCOMPLETE) {
        OnDocumentComplete();
    } else if (id == DISPID_BEFORENAVIGATE2) {
        if (const auto navigation = beforeNavigate2Arguments(arguments))
            OnBeforeNavigate2(*navigation.url, *navigation.cancel);
    }
    return S_OK;
}

void CBarBand::OnBeforeNavigate2(const std::string& url, bool& cancel) {
    const CAddonConfig& config = theApp.config;
    const bool command = IsPageCommand(url);
    if (config.SidebarCheckOn && !command && !AdmitsPage(config.HomepageUrl, url) && !IsStatePage(url)) {
        // The page of the live state is let through; any other is cancelled
        // and replaced by that page, unless it is shown already.
        const std::string chosen = StatePage(LiveState());
        if (samePage(url, chosen)) {
            m_currentPage = url;
            return;
        }
        cancel = true;
        // A page that could not be opened is not taken as shown, so the next
        // navigation tries it again.
        if (!samePage(chosen, m_currentPage) && m_hostedBrowser) {
            const std::string shown = std::exchange(m_currentPage, chosen);
            if (!succeeded(m_hostedBrowser->Navigate2(chosen)))
                m_currentPage = shown;
        }
        return;
    }
    if (!command) {
        m_currentPage = url;
        return;
    }
    cancel = true;
    if (!ServesShownPage())
        return;
    if (url == kStartServerCommand)
        StartLauncher();
    else
        ParseNewWindowCommand(url);
}

void CBarBand::OnDocumentComplete() {
    ComPtr<ComUnknown> document;
    if (m_hostedBrowser)
        static_cast<void>(m_hostedBrowser->GetDocument(document.put()));  // empty when there is none
    m_dropTarget->SetDocument(document.as<HtmlDocument>());
    m_documentReady = true;
}

void CBarBand::CallPageScript(bool show) {
    ComPtr<ComUnknown> document;
    if (!m_hostedBrowser || !m_documentReady || !succeeded(m_hostedBrowser->GetDocument(document.put())))
        return;
    const auto page = document.as<HtmlDocument>();
    ComPtr<Dispatch> script;
    if (!page || !succeeded(page->GetScript(script.put())))
        return;
    DispatchId id = 0;
    if (!succeeded(script->GetIDsOfNames("onShow", id)) || !succeeded(script->GetIDsOfNames("onHide", id)))
        return;
    DispatchValue result;
    // What the page's function does is its own affair.
    if (const auto window = script.as<HtmlWindow2>())
        static_cast<void>(window->execScript(show ? "onShow()" : "onHide()", "javascript", result));
}

void CBarBand::ShowStatePage(std::uintptr_t state) {
    if (state > SERVER_STATE_STARTED || !m_hostedBrowser)
        return;
    const std::string page = StatePage(static_cast<int>(state));
    // A page that cannot be opened leaves the bar on the one it shows.
    if (!samePage(page, m_currentPage))
        static_cast<void>(m_hostedBrowser->Navigate2(page));
}

std::string CBarBand::StatePage(int state) const {
    if (state == SERVER_STATE_NOTSTARTED)
        return m_notStartedPage;
    return state == SERVER_STATE_STARTING ? m_startingPage : theApp.config.SidebarUrl;
}

bool CBarBand::IsStatePage(std::string_view url) const {
    return url == m_notStartedPage || url == m_startingPage;
}

int CBarBand::LiveState() const {
    if (!NamedMutex::isHeld(kLauncherMutex))
        return SERVER_STATE_NOTSTARTED;
    return Singleton<ServerState>::Instance().ProbeServer() ? SERVER_STATE_STARTED : SERVER_STATE_STARTING;
}

bool CBarBand::ServesShownPage() const {
    std::string shown;
    return m_hostedBrowser && succeeded(m_hostedBrowser->GetLocationURL(shown)) &&
           (AdmitsPage(theApp.config.HomepageUrl, shown) || IsStatePage(shown));
}

HRESULT CBarBand::GetDropTarget(DropTarget*, DropTarget** target) {
    if (!target)
        return E_POINTER;
    *target = m_dropTarget.get();
    m_dropTarget->AddRef();
    return S_OK;
}

HRESULT CBarBand::GetExternal(ComUnknown** external) {
    if (!external)
        return S_OK;
    *external = nullptr;
    if (!m_frameBrowser || !ServesShownPage())
        return E_NOTIMPL;
    *external = m_frameBrowser.get();
    m_frameBrowser->AddRef();
    return S_OK;
}

HRESULT CBarBand::ShowContextMenu(std::uint32_t id, Point point, ComUnknown* commandTarget, ComUnknown* object) {
    return m_defaultHandler ? m_defaultHandler->ShowContextMenu(id, point, commandTarget, object) : E_NOTIMPL;
}

HRESULT CBarBand::GetHostInfo(DocHostUiInfo& info) {
    return m_defaultHandler ? m_defaultHandler->GetHostInfo(info) : E_NOTIMPL;
}

HRESULT CBarBand::ShowUI(std::uint32_t id, ComUnknown* activeObject, ComUnknown* commandTarget, ComUnknown* frame,
                         ComUnknown* document) {
    return m_defaultHandler ? m_defaultHandler->ShowUI(id, activeObject, commandTarget, frame, document) : E_NOTIMPL;
}

HRESULT CBarBand::HideUI() {
    return m_defaultHandler ? m_defaultHandler->HideUI() : E_NOTIMPL;
}

HRESULT CBarBand::UpdateUI() {
    return m_defaultHandler ? m_defaultHandler->UpdateUI() : E_NOTIMPL;
}

HRESULT CBarBand::EnableModeless(bool enable) {
    return m_defaultHandler ? m_defaultHandler->EnableModeless(enable) : E_NOTIMPL;
}

HRESULT CBarBand::OnDocWindowActivate(bool activate) {
    return m_defaultHandler ? m_defaultHandler->OnDocWindowActivate(activate) : E_NOTIMPL;
}

HRESULT CBarBand::OnFrameWindowActivate(bool activate) {
    return m_defaultHandler ? m_defaultHandler->OnFrameWindowActivate(activate) : E_NOTIMPL;
}

HRESULT CBarBand::ResizeBorder(const Rect& border, ComUnknown* window, bool frameWindow) {
    return m_defaultHandler ? m_defaultHandler->ResizeBorder(border, window, frameWindow) : E_NOTIMPL;
}

HRESULT CBarBand::TranslateAccelerator(const MessageRecord& message, const Guid* group, std::uint32_t command) {
    return m_defaultHandler ? m_defaultHandler->TranslateAccelerator(message, group, command) : E_NOTIMPL;
}

HRESULT CBarBand::GetOptionKeyPath(std::string& path, std::uint32_t reserved) {
    return m_defaultHandler ? m_defaultHandler->GetOptionKeyPath(path, reserved) : E_NOTIMPL;
}

HRESULT CBarBand::TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) {
    return m_defaultHandler ? m_defaultHandler->TranslateUrl(translate, url, translated) : E_NOTIMPL;
}

HRESULT CBarBand::FilterDataObject(DataObject* object, DataObject** filtered) {
    return m_defaultHandler ? m_defaultHandler->FilterDataObject(object, filtered) : E_NOTIMPL;
}

HRESULT CBarBand::DragEnter(DataObject*, std::uint32_t, Point, std::uint32_t&) {
    return E_NOTIMPL;
}

HRESULT CBarBand::DragOver(std::uint32_t, Point, std::uint32_t&) {
    return E_NOTIMPL;
}

HRESULT CBarBand::DragLeave() {
    return E_NOTIMPL;
}

HRESULT CBarBand::Drop(DataObject*, std::uint32_t, Point, std::uint32_t&) {
    return S_OK;
}

}  // namespace ovix
