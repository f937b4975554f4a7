// The test add-on module: its objects, their factories and entry points.

#include "testing/browser/tests/RecordingAddon.h"

#include <string>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/CallLog.h"
#include "compat/browser/ConnectionPoint.h"
#include "compat/browser/DeskBand.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/browser/InPlace.h"
#include "compat/browser/InputObject.h"
#include "compat/browser/ObjectWithSite.h"
#include "compat/browser/ServiceProvider.h"
#include "compat/browser/ToolbarControl.h"
#include "compat/browser/WebBrowser2.h"
#include "compat/browser/Window.h"
#include "compat/com/ClassFactory.h"
#include "compat/com/ComObject.h"
#include "compat/com/ComRegistration.h"
#include "compat/com/HtmlDocument.h"
#include "compat/com/ModuleUsage.h"
#include "compat/store/RegistryKey.h"
#include "compat/system/ModulePath.h"
#include "testing/browser/AddonRegistry.h"
#include "testing/browser/DispatchValueText.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

using namespace compat;

namespace compat::testing {

namespace {

std::string text(const DispatchValue& value) {
    const auto* string = std::get_if<std::string>(&value);
    return string ? *string : describe(value);
}

// The lines an object keeps, served as the Dispatch member "Calls".
class Recorder {
public:
    void record(std::string line) { m_lines.add(std::move(line)); }
    HRESULT callsId(std::string_view name, DispatchId& id) const {
        if (name != "Calls")
            return DISP_E_UNKNOWNNAME;
        id = kCallsId;
        return S_OK;
    }
    HRESULT calls(DispatchValue& result) const {
        std::string all;
        for (const auto& line : m_lines.lines())
            all += line + "\n";
        result = all;
        return S_OK;
    }

private:
    CallLog m_lines;
};

// A sink's connection to a browser's events.
class Connection {
public:
    void connect(const ComPtr<WebBrowser2>& browser, Dispatch* sink) {
        if (succeeded(AtlAdvise(browser.get(), sink, DIID_DWebBrowserEvents2, m_cookie)))
            m_browser = browser;
    }
    void disconnect() {
        if (m_browser)  // a connection that cannot be ended goes with the browser
            static_cast<void>(AtlUnadvise(m_browser.get(), DIID_DWebBrowserEvents2, m_cookie));
        m_browser.reset();
    }

private:
    ComPtr<WebBrowser2> m_browser;
    std::uint32_t m_cookie = 0;
};

class RecordingHelper final : public ComObject<ObjectWithSite, Dispatch> {
public:
    HRESULT SetSite(ComUnknown* site) override {
        m_events.disconnect();
        m_browser.reset();
        if (!site) {
            m_recorder.record("SetSite null");
            return S_OK;
        }
        if (!succeeded(site->QueryInterface(WebBrowser2::kId, m_browser.putVoid())))
            return E_NOINTERFACE;
        m_events.connect(m_browser, this);
        if (!succeeded(m_browser->GetHWND(m_frame)))
            m_frame = 0;  // recorded as no icon
        m_recorder.record("SetSite icon " + std::to_string(SendMessage(m_frame, WM_GETICON, ICON_SMALL, 0)));
        return S_OK;
    }
    HRESULT GetSite(const Guid& id, void** site) override {
        *site = nullptr;
        return m_browser ? m_browser->QueryInterface(id, site) : E_FAIL;
    }
    HRESULT GetIDsOfNames(std::string_view name, DispatchId& id) override { return m_recorder.callsId(name, id); }
    HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue& result) override {
        if (id == kCallsId)
            return m_recorder.calls(result);
        if (id == DISPID_DOCUMENTCOMPLETE && arguments.size() == 2) {
            m_recorder.record("DocumentComplete " + text(arguments[1]));
            return S_OK;
        }
        const auto navigation = beforeNavigate2Arguments(arguments);
        if (id != DISPID_BEFORENAVIGATE2 || !navigation)
            return DISP_E_MEMBERNOTFOUND;
        std::string line = "BeforeNavigate2";
        for (const auto& argument : arguments)
            line += " " + describe(argument);
        m_recorder.record(line);
        const auto command = [&](const char* prefix) { return navigation.url->starts_with(prefix); };
        if (command(kShowBarPrefix) || command(kHideBarPrefix))  // the browser records what it did
            static_cast<void>(m_browser->ShowBrowserBar(kBarId.toString(), command(kShowBarPrefix), std::int32_t{0}));
        if (command(kClosePrefix))
            PostMessage(m_frame, WM_CLOSE, 0, 0);
        if (command(kCancelPrefix) || command(kShowBarPrefix) || command(kHideBarPrefix) || command(kClosePrefix))
            *navigation.cancel = true;
        return S_OK;
    }

private:
    Recorder m_recorder;
    ComPtr<WebBrowser2> m_browser;
    Connection m_events;
    WindowHandle m_frame = 0;
};

// A band: a window in its site's window, a sink of the window's browser.
// The bar also hosts a browser control whose client site it becomes, takes
// drops on its page and forwards the rest of the UI handler.
class RecordingBand : public ComObject<ObjectWithSite, DeskBand, InputObject, Dispatch, ClientSite, OleInPlaceSite,
                                       OleControlSite, DocHostUIHandler> {
public:
    HRESULT SetSite(ComUnknown* site) override {
        takeDown();
        if (!site) {
            m_recorder.record("SetSite null");
            return S_OK;
        }
        // What the site gives, or does not, shows in the record below.
        if (auto window = ComPtr<ComUnknown>::share(site).as<OleWindow>())
            static_cast<void>(window->GetWindow(m_siteWindow));
        static_cast<void>(site->QueryInterface(InputObjectSite::kId, m_inputSite.putVoid()));
        if (auto target = ComPtr<ComUnknown>::share(site).as<OleCommandTarget>()) {
            if (auto services = target.as<ServiceProvider>())
                static_cast<void>(
                    services->QueryService(SID_SWebBrowserApp, WebBrowser2::kId, m_frameBrowser.putVoid()));
        }
        m_recorder.record(std::string("SetSite window ") + (m_siteWindow ? "yes" : "no") + " input site " +
                          (m_inputSite ? "yes" : "no") + " browser " + (m_frameBrowser ? "yes" : "no"));
        Rect area;
        GetClientRect(m_siteWindow, area);
        m_window = CreateWindowEx(0, hostsBrowser() ? std::string_view("RecordingBar") : TOOLBARCLASSNAME, "", WS_CHILD | WS_VISIBLE,
                                  0, 0, area.width(), area.height(), m_siteWindow, 0);
        if (!m_window)
            return E_FAIL;
        if (m_frameBrowser)
            m_frameEvents.connect(m_frameBrowser, this);
        if (hostsBrowser())
            hostBrowser();
        return S_OK;
    }
    HRESULT GetSite(const Guid& id, void** site) override {
        *site = nullptr;
        return m_inputSite ? m_inputSite->QueryInterface(id, site) : E_FAIL;
    }

    HRESULT GetWindow(WindowHandle& window) override {
        window = m_window;
        return S_OK;
    }
    HRESULT ShowDW(bool show) override {
        m_recorder.record(std::string("ShowDW ") + (show ? "true" : "false") + (m_document ? " loaded" : ""));
        ShowWindow(m_window, show ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    HRESULT CloseDW(std::uint32_t) override {
        static_cast<void>(ShowDW(false));  // always S_OK
        DestroyWindow(std::exchange(m_window, 0));
        return S_OK;
    }
    HRESULT GetBandInfo(std::uint32_t, std::uint32_t viewMode, DeskBandInfo* info) override {
        if (!info)
            return E_INVALIDARG;
        m_recorder.record("GetBandInfo " + std::to_string(viewMode));
        info->mask &= DBIM_TITLE | DBIM_MINSIZE;
        info->title = hostsBrowser() ? "Recording bar" : "Recording toolbar";
        info->minSize = Point{100, 24};
        return S_OK;
    }

    HRESULT UIActivateIO(bool activate, const MessageRecord* message) override {
        Rect area;
        GetClientRect(m_siteWindow, area);
        return m_hostedObject ? m_hostedObject->DoVerb(activate ? OLEIVERB_UIACTIVATE : OLEIVERB_INPLACEACTIVATE,
                                                       message, this, 0, m_siteWindow, area)
                              : E_FAIL;
    }
    HRESULT HasFocusIO() override {
        const WindowHandle focus = GetFocus();
        return focus && IsChild(m_siteWindow, focus) ? S_OK : S_FALSE;
    }
    HRESULT TranslateAcceleratorIO(const MessageRecord& message) override {
        ComPtr<ComUnknown> application;
        if (!m_hosted || !succeeded(m_hosted->GetApplication(application.put())))
            return E_FAIL;
        auto active = application.as<OleInPlaceActiveObject>();
        return active ? active->TranslateAccelerator(message) : E_NOINTERFACE;
    }

    HRESULT GetIDsOfNames(std::string_view name, DispatchId& id) override { return m_recorder.callsId(name, id); }
    HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue& result) override {
        if (id == kCallsId)
            return m_recorder.calls(result);
        if (arguments.size() < 2)
            return DISP_E_BADPARAMCOUNT;
        const bool own = std::get<ComPtr<ComUnknown>>(arguments[0]).get() == static_cast<WebBrowser2*>(m_hosted.get());
        m_recorder.record(std::string(id == DISPID_BEFORENAVIGATE2 ? "BeforeNavigate2 " : "DocumentComplete ") +
                          (own ? "bar " : "window ") + text(arguments[1]));
        if (id == DISPID_DOCUMENTCOMPLETE && own) {
            ComPtr<ComUnknown> document;
            static_cast<void>(m_hosted->GetDocument(document.put()));  // empty when there is none
            m_document = document.as<HtmlDocument>();
        }
        return S_OK;
    }

    HRESULT GetContainer(Container** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT CanInPlaceActivate() override { return S_OK; }
    HRESULT OnInPlaceActivate() override {
        m_recorder.record("OnInPlaceActivate");
        return S_OK;
    }
    HRESULT OnInPlaceDeactivate() override {
        m_recorder.record("OnInPlaceDeactivate");
        return S_OK;
    }
    HRESULT GetWindowContext(Rect& position, Rect& clip) override {
        GetClientRect(m_window, position);
        clip = position;
        return S_OK;
    }
    HRESULT OnFocus(bool gotFocus) override {
        return m_inputSite ? m_inputSite->OnFocusChangeIS(static_cast<ObjectWithSite*>(this), gotFocus) : S_OK;
    }

    // The UI handler: drops and the external object are the bar's own;
    // everything else goes to the control host's handler.
    HRESULT GetDropTarget(DropTarget*, DropTarget** target) override;
    HRESULT GetExternal(ComUnknown** external) override {
        *external = m_frameBrowser.get();
        if (*external)
            (*external)->AddRef();
        return m_frameBrowser ? S_OK : E_NOTIMPL;
    }
    HRESULT ShowContextMenu(std::uint32_t id, Point point, ComUnknown* target, ComUnknown* object) override {
        return m_handler ? m_handler->ShowContextMenu(id, point, target, object) : E_NOTIMPL;
    }
    HRESULT GetHostInfo(DocHostUiInfo& info) override { return m_handler ? m_handler->GetHostInfo(info) : E_NOTIMPL; }
    HRESULT ShowUI(std::uint32_t id, ComUnknown* active, ComUnknown* target, ComUnknown* frame, ComUnknown* document) override {
        return m_handler ? m_handler->ShowUI(id, active, target, frame, document) : E_NOTIMPL;
    }
    HRESULT HideUI() override { return m_handler ? m_handler->HideUI() : E_NOTIMPL; }
    HRESULT UpdateUI() override { return m_handler ? m_handler->UpdateUI() : E_NOTIMPL; }
    HRESULT EnableModeless(bool enable) override { return m_handler ? m_handler->EnableModeless(enable) : E_NOTIMPL; }
    HRESULT OnDocWindowActivate(bool on) override { return m_handler ? m_handler->OnDocWindowActivate(on) : E_NOTIMPL; }
    HRESULT OnFrameWindowActivate(bool on) override {
        return m_handler ? m_handler->OnFrameWindowActivate(on) : E_NOTIMPL;
    }
    HRESULT ResizeBorder(const Rect& border, ComUnknown* window, bool frame) override {
        return m_handler ? m_handler->ResizeBorder(border, window, frame) : E_NOTIMPL;
    }
    HRESULT TranslateAccelerator(const MessageRecord& message, const Guid* group, std::uint32_t command) override {
        return m_handler ? m_handler->TranslateAccelerator(message, group, command) : E_NOTIMPL;
    }
    HRESULT GetOptionKeyPath(std::string& path, std::uint32_t reserved) override {
        return m_handler ? m_handler->GetOptionKeyPath(path, reserved) : E_NOTIMPL;
    }
    HRESULT TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) override {
        return m_handler ? m_handler->TranslateUrl(translate, url, translated) : E_NOTIMPL;
    }
    HRESULT FilterDataObject(DataObject* object, DataObject** filtered) override {
        return m_handler ? m_handler->FilterDataObject(object, filtered) : E_NOTIMPL;
    }

    // For the drop target.
    void dropped(const std::string& text, Point point);

protected:
    explicit RecordingBand(bool hostsBrowser) : m_hostsBrowser(hostsBrowser) {}
    ~RecordingBand() override { takeDown(); }

private:
    bool hostsBrowser() const { return m_hostsBrowser; }
    void hostBrowser() {
        ComPtr<ComUnknown> control;
        if (!succeeded(AtlAxCreateControl(CLSID_WebBrowser.toString(), m_window, control.put())))
            return;
        m_hosted = control.as<WebBrowser2>();
        m_hostedObject = control.as<InPlaceOleObject>();
        // Each step shows in the control's record of calls.
        ComPtr<ClientSite> hostSite;
        static_cast<void>(m_hostedObject->GetClientSite(hostSite.put()));
        m_handler = hostSite.as<DocHostUIHandler>();
        static_cast<void>(m_hostedObject->SetClientSite(this));
        m_hostedEvents.connect(m_hosted, this);
        static_cast<void>(m_hosted->PutRegisterAsDropTarget(true));
        static_cast<void>(m_hosted->Navigate2(kBarPage));
    }
    // Everything that SetSite made, so that no reference cycle outlives it.
    void takeDown() {
        m_frameEvents.disconnect();
        m_hostedEvents.disconnect();
        if (m_hostedObject)  // taken down whatever the control answers
            static_cast<void>(m_hostedObject->SetClientSite(nullptr));
        if (m_window)
            DestroyWindow(std::exchange(m_window, 0));
        m_hosted.reset();
        m_hostedObject.reset();
        m_handler.reset();
        m_document.reset();
        m_dropTarget.reset();
        m_frameBrowser.reset();
        m_inputSite.reset();
    }

    const bool m_hostsBrowser;
    Recorder m_recorder;
    WindowHandle m_siteWindow = 0;
    WindowHandle m_window = 0;
    ComPtr<InputObjectSite> m_inputSite;
    ComPtr<WebBrowser2> m_frameBrowser;
    ComPtr<WebBrowser2> m_hosted;
    ComPtr<InPlaceOleObject> m_hostedObject;
    ComPtr<DocHostUIHandler> m_handler;
    ComPtr<HtmlDocument> m_document;
    ComPtr<DropTarget> m_dropTarget;
    Connection m_frameEvents;
    Connection m_hostedEvents;
};

// Takes text dropped on the bar's page: reads it (ASCII, to its zero unit or
// the block's end), releases the medium and hands it to the page's DropIt.
class BarDropTarget final : public ComObject<DropTarget> {
public:
    explicit BarDropTarget(RecordingBand* band) : m_band(band) {}
    HRESULT DragEnter(DataObject*, std::uint32_t, Point, std::uint32_t& effect) override {
        effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragOver(std::uint32_t, Point, std::uint32_t&) override { return S_OK; }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(DataObject* data, std::uint32_t, Point point, std::uint32_t&) override {
        StgMedium medium;
        if (!succeeded(data->GetData(FormatEtc{CF_UNICODETEXT}, medium)))
            return S_OK;
        const auto* units = static_cast<const char16_t*>(GlobalLock(medium.global));
        const std::size_t count = GlobalSize(medium.global) / sizeof(char16_t);
        std::string text;
        for (std::size_t i = 0; units && i < count && units[i] != 0; ++i)
            text += static_cast<char>(units[i]);
        GlobalUnlock(medium.global);
        ReleaseStgMedium(medium);
        m_band->dropped(text, point);
        return S_OK;
    }

private:
    RecordingBand* m_band;  // owns this target
};

HRESULT RecordingBand::GetDropTarget(DropTarget*, DropTarget** target) {
    if (!m_dropTarget)
        m_dropTarget = ComPtr<DropTarget>::adopt(new BarDropTarget(this));
    *target = m_dropTarget.get();
    (*target)->AddRef();
    return S_OK;
}

void RecordingBand::dropped(const std::string& text, Point point) {
    ComPtr<Dispatch> script;
    DispatchId id = 0;
    if (!m_document || !succeeded(m_document->GetScript(script.put())) ||
        !succeeded(script->GetIDsOfNames("DropIt", id)))
        return;
    ScreenToClient(m_window, point);
    const DispatchValue arguments[] = {text, NativeInt{point.x}, NativeInt{point.y}};
    DispatchValue result;
    static_cast<void>(script->Invoke(id, arguments, result));  // the page records the drop
}

class RecordingToolbar final : public RecordingBand {
public:
    RecordingToolbar() : RecordingBand(false) {}
};

class RecordingBar final : public RecordingBand {
public:
    RecordingBar() : RecordingBand(true) {}
};

template <class T>
class Factory final : public ClassFactoryFor<T> {};

Factory<RecordingHelper> g_helperFactory;
Factory<RecordingToolbar> g_toolbarFactory;
Factory<RecordingBar> g_barFactory;

int g_moduleAnchor;

}  // namespace

}  // namespace compat::testing

using namespace compat::testing;

MODULE_EXPORT HRESULT DllGetClassObject(const Guid& classId, const Guid& id, void** object) {
    *object = nullptr;
    if (classId == kHelperId)
        return g_helperFactory.QueryInterface(id, object);
    if (classId == kToolbarId)
        return g_toolbarFactory.QueryInterface(id, object);
    if (classId == kBarId)
        return g_barFactory.QueryInterface(id, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

MODULE_EXPORT HRESULT DllCanUnloadNow() {
    return moduleCanUnload() ? S_OK : S_FALSE;
}

// The three classes, the helper object's key and the toolbar's value.
MODULE_EXPORT HRESULT DllRegisterServer() {
    const auto module = modulePath(&g_moduleAnchor);
    for (const Guid& id : {kHelperId, kToolbarId, kBarId}) {
        if (!registerClass(ClassEntry{id, "", "Recording", "Apartment", std::nullopt}, module))
            return SELFREG_E_CLASS;
    }
    const auto toolbars = RegistryKey::create(RegistryHive::LocalMachine, kToolbarsKey);
    if (!RegistryKey::create(RegistryHive::LocalMachine, std::string(kHelperObjectsKey) + "\\" + kHelperId.toString()) ||
        !toolbars || !toolbars->setString(kToolbarId.toString(), "Recording"))
        return E_FAIL;
    return S_OK;
}

MODULE_EXPORT HRESULT DllUnregisterServer() {
    for (const Guid& id : {kHelperId, kToolbarId, kBarId})
        unregisterClass(ClassEntry{id, "", "Recording", "Apartment", std::nullopt});
    RegistryKey::removeTree(RegistryHive::LocalMachine, std::string(kHelperObjectsKey) + "\\" + kHelperId.toString());
    if (const auto toolbars = RegistryKey::open(RegistryHive::LocalMachine, kToolbarsKey))
        toolbars->remove(kToolbarId.toString());
    return S_OK;
}
