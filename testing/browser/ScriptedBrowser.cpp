#include "testing/browser/ScriptedBrowser.h"

#include <stdexcept>
#include <unordered_map>

#include "compat/browser/ActiveWindow.h"
#include "compat/browser/Keyboard.h"
#include "compat/browser/ThreadTask.h"
#include "compat/browser/Window.h"
#include "testing/browser/DispatchValueText.h"
#include "testing/browser/LoadedPage.h"

namespace compat::testing {

namespace {

// The status bits of the browser control.
constexpr std::uint32_t kControlMiscStatus = 0x20191;

// Loads started and not yet finished, per thread.
struct PendingLoads {
    std::mutex mutex;
    std::unordered_map<ThreadId, int> counts;
};

PendingLoads& pendingLoads() {
    static auto* loads = new PendingLoads;
    return *loads;
}

void countLoad(ThreadId thread, int change) {
    auto& p = pendingLoads();
    std::lock_guard lock(p.mutex);
    p.counts[thread] += change;
}

int loadsOf(ThreadId thread) {
    auto& p = pendingLoads();
    std::lock_guard lock(p.mutex);
    return p.counts[thread];
}

// A page's own drop target, which the control uses when its host gives none:
// the scripted pages take nothing.
class PageDropTarget final : public ComObject<DropTarget> {
public:
    HRESULT DragEnter(DataObject*, std::uint32_t, Point, std::uint32_t& effect) override {
        effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragOver(std::uint32_t, Point, std::uint32_t& effect) override {
        effect = DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(DataObject*, std::uint32_t, Point, std::uint32_t& effect) override {
        effect = DROPEFFECT_NONE;
        return S_OK;
    }
};

}  // namespace

// The browser's connection point for its events.
class BrowserEvents final : public ComObject<ConnectionPoint> {
public:
    explicit BrowserEvents(ComPtr<ScriptedBrowser> browser) : m_browser(std::move(browser)) {}
    HRESULT Advise(Dispatch* sink, std::uint32_t& cookie) override { return m_browser->advise(sink, cookie); }
    HRESULT Unadvise(std::uint32_t cookie) override { return m_browser->unadvise(cookie); }

private:
    ComPtr<ScriptedBrowser> m_browser;
};

ScriptedBrowser::ScriptedBrowser(WindowHandle window, Frame* frame, ComPtr<ClientSite> site)
    : m_window(window), m_isControl(frame == nullptr), m_frame(frame), m_clientSite(std::move(site)) {}

ComPtr<ScriptedBrowser> ScriptedBrowser::forWindow(WindowHandle window, Frame* frame) {
    return ComPtr<ScriptedBrowser>::adopt(new ScriptedBrowser(window, frame, {}));
}

ComPtr<BrowserControl> ScriptedBrowser::control(WindowHandle window, ComPtr<ClientSite> site) {
    return ComPtr<BrowserControl>::adopt(new ScriptedBrowser(window, nullptr, std::move(site)));
}

void ScriptedBrowser::detachFrame() {
    std::lock_guard lock(m_mutex);
    m_frame = nullptr;
}

ComPtr<ComUnknown> ScriptedBrowser::self() {
    return ComPtr<ComUnknown>::share(static_cast<WebBrowser2*>(this));
}

void ScriptedBrowser::fire(DispatchId event, std::vector<DispatchValue> arguments) {
    std::vector<ComPtr<Dispatch>> sinks;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [cookie, sink] : m_sinks)
            sinks.push_back(sink);
    }
    // What a sink answers does not change the event for the others.
    for (const auto& sink : sinks) {
        DispatchValue result;
        static_cast<void>(sink->Invoke(event, arguments, result));
    }
}

HRESULT ScriptedBrowser::Navigate2(std::string_view url) {
    m_calls.add("Navigate2(" + std::string(url) + ")");
    return navigate(url);
}

HRESULT ScriptedBrowser::navigate(std::string_view requested) {
    if (windowThread(m_window) != currentThreadId()) {
        HRESULT result = E_FAIL;
        const std::string copy(requested);
        runOnWindowThread(m_window, [&] { result = navigate(copy); });
        return result;
    }
    const std::string url = canonicalUrl(requested);
    std::size_t index;
    {
        std::lock_guard lock(m_mutex);
        index = m_navigations.size();
        m_navigations.push_back(Navigation{url, Outcome::Asking});
    }
    // The sinks share one Cancel, as they do in a browser: the last word counts.
    bool cancel = false;
    fire(DISPID_BEFORENAVIGATE2,
         {self(), url, std::int32_t{0}, std::string(), std::monostate{}, std::string(), &cancel});
    std::uint64_t serial;
    {
        std::lock_guard lock(m_mutex);
        if (cancel) {
            m_navigations[index].outcome = Outcome::Cancelled;
            return S_OK;
        }
        for (auto& earlier : m_navigations) {
            if (earlier.outcome == Outcome::Loading)
                earlier.outcome = Outcome::Replaced;
        }
        m_navigations[index].outcome = Outcome::Loading;
        serial = ++m_loadSerial;
    }
    const ThreadId thread = currentThreadId();
    countLoad(thread, 1);
    ComPtr<ScriptedBrowser> keep = ComPtr<ScriptedBrowser>::share(this);
    if (!postToWindowThread(m_window, [keep, serial, index] { keep->finishLoad(serial, index); })) {
        countLoad(thread, -1);
        std::lock_guard lock(m_mutex);
        m_navigations[index].outcome = Outcome::Failed;
    }
    return S_OK;
}

void ScriptedBrowser::finishLoad(std::uint64_t serial, std::size_t index) {
    countLoad(currentThreadId(), -1);
    std::string url;
    {
        std::lock_guard lock(m_mutex);
        if (serial != m_loadSerial)
            return;
        url = m_navigations[index].url;
    }
    const auto page = loadPage(url);
    {
        std::lock_guard lock(m_mutex);
        if (!page) {
            m_navigations[index].outcome = Outcome::Failed;
            return;
        }
        m_location = url;
        m_title = page->title;
        m_document = makeScriptedDocument(url, page->functions, m_scripts);
        m_navigations[index].outcome = Outcome::Completed;
    }
    // Asked as a browser asks; the answer changes nothing in this model.
    if (auto handler = uiHandler()) {
        DocHostUiInfo info;
        static_cast<void>(handler->GetHostInfo(info));
    }
    chooseDropTarget();
    fire(DISPID_DOCUMENTCOMPLETE, {self(), url});
}

void ScriptedBrowser::chooseDropTarget() {
    ComPtr<DropTarget> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::move(m_dropTarget);
        if (!m_takesDrops || !m_document)
            return;
    }
    ComPtr<DropTarget> chosen = ComPtr<DropTarget>::adopt(new PageDropTarget);
    if (auto handler = uiHandler()) {
        ComPtr<DropTarget> instead;
        if (succeeded(handler->GetDropTarget(chosen.get(), instead.put())) && instead)
            chosen = instead;
    }
    std::lock_guard lock(m_mutex);
    m_dropTarget = std::move(chosen);
}

ComPtr<DocHostUIHandler> ScriptedBrowser::uiHandler() const {
    ComPtr<ClientSite> site;
    {
        std::lock_guard lock(m_mutex);
        site = m_clientSite;
    }
    return site.as<DocHostUIHandler>();
}

HRESULT ScriptedBrowser::GetLocationURL(std::string& url) {
    std::lock_guard lock(m_mutex);
    url = m_location;
    return S_OK;
}

HRESULT ScriptedBrowser::GetLocationName(std::string& name) {
    std::lock_guard lock(m_mutex);
    name = m_title;
    return S_OK;
}

HRESULT ScriptedBrowser::GetHWND(WindowHandle& window) {
    window = m_isControl ? 0 : m_window;
    return m_isControl ? E_FAIL : S_OK;
}

HRESULT ScriptedBrowser::ShowBrowserBar(const DispatchValue& classId, const DispatchValue& show,
                                        const DispatchValue& size) {
    m_calls.add("ShowBrowserBar(" + describe(classId) + ", " + describe(show) + ", " + describe(size) + ")");
    Frame* frame;
    {
        std::lock_guard lock(m_mutex);
        frame = m_frame;
    }
    if (!frame)
        return E_FAIL;
    const auto* text = std::get_if<std::string>(&classId);
    const auto* visible = std::get_if<bool>(&show);
    if (!text || !visible)
        return E_INVALIDARG;
    const auto id = Guid::tryParse(*text);
    return id ? frame->showBrowserBar(*id, *visible) : E_INVALIDARG;
}

HRESULT ScriptedBrowser::PutVisible(bool visible) {
    m_calls.add(std::string("PutVisible(") + (visible ? "true" : "false") + ")");
    if (IsWindowVisible(m_window) != visible)
        ShowWindow(m_window, visible ? SW_SHOW : SW_HIDE);
    return S_OK;
}

HRESULT ScriptedBrowser::GetDocument(ComUnknown** document) {
    if (!document)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    *document = m_document.get();
    if (*document)
        (*document)->AddRef();
    return S_OK;
}

HRESULT ScriptedBrowser::PutRegisterAsDropTarget(bool registered) {
    m_calls.add(std::string("PutRegisterAsDropTarget(") + (registered ? "true" : "false") + ")");
    {
        std::lock_guard lock(m_mutex);
        m_takesDrops = registered;
    }
    chooseDropTarget();
    return S_OK;
}

HRESULT ScriptedBrowser::GetApplication(ComUnknown** application) {
    if (!application)
        return E_POINTER;
    *application = static_cast<WebBrowser2*>(this);
    AddRef();
    return S_OK;
}

HRESULT ScriptedBrowser::FindConnectionPoint(const Guid& events, ConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (events != DIID_DWebBrowserEvents2)
        return CONNECT_E_NOCONNECTION;
    *point = new BrowserEvents(ComPtr<ScriptedBrowser>::share(this));
    return S_OK;
}

HRESULT ScriptedBrowser::advise(Dispatch* sink, std::uint32_t& cookie) {
    if (!sink)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    cookie = ++m_lastCookie;
    m_sinks.emplace(cookie, ComPtr<Dispatch>::share(sink));
    return S_OK;
}

HRESULT ScriptedBrowser::unadvise(std::uint32_t cookie) {
    ComPtr<Dispatch> sink;
    std::lock_guard lock(m_mutex);
    auto found = m_sinks.find(cookie);
    if (found == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    sink = std::move(found->second);
    m_sinks.erase(found);
    return S_OK;
}

HRESULT ScriptedBrowser::SetClientSite(ClientSite* site) {
    m_calls.add(site ? "SetClientSite(site)" : "SetClientSite(null)");
    ComPtr<OleInPlaceSite> deactivated;
    ComPtr<ClientSite> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::move(m_clientSite);
        m_clientSite = ComPtr<ClientSite>::share(site);
        deactivated = std::move(m_inPlaceSite);
    }
    if (deactivated)
        static_cast<void>(deactivated->OnInPlaceDeactivate());  // a notice
    return S_OK;
}

HRESULT ScriptedBrowser::GetClientSite(ClientSite** site) {
    if (!site)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    *site = m_clientSite.get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT ScriptedBrowser::GetMiscStatus(std::uint32_t& status) {
    status = kControlMiscStatus;
    return S_OK;
}

HRESULT ScriptedBrowser::DoVerb(std::int32_t verb, const MessageRecord*, ClientSite* site, std::int32_t,
                                WindowHandle, const Rect&) {
    m_calls.add("DoVerb(" + std::to_string(verb) + ")");
    if (verb != OLEIVERB_UIACTIVATE && verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_PRIMARY)
        return E_NOTIMPL;
    ComPtr<ClientSite> activeOn = ComPtr<ClientSite>::share(site);
    bool active;
    {
        std::lock_guard lock(m_mutex);
        if (!activeOn)
            activeOn = m_clientSite;
        active = static_cast<bool>(m_inPlaceSite);
    }
    auto inPlace = activeOn.as<OleInPlaceSite>();
    if (!inPlace)
        return E_FAIL;
    if (!active) {
        if (inPlace->CanInPlaceActivate() != S_OK || !succeeded(inPlace->OnInPlaceActivate()))
            return E_FAIL;
        std::lock_guard lock(m_mutex);
        m_inPlaceSite = inPlace;
    }
    Rect position;
    Rect clip;
    if (inPlace->GetWindowContext(position, clip) == S_OK)
        MoveWindow(m_window, position.left, position.top, position.width(), position.height(), true);
    if (verb == OLEIVERB_UIACTIVATE)
        SetFocus(m_window);
    return S_OK;
}

HRESULT ScriptedBrowser::TranslateAccelerator(const MessageRecord& message) {
    m_calls.add("TranslateAccelerator(" + std::to_string(message.message) + ", " + std::to_string(message.wParam) + ")");
    if (auto handler = uiHandler(); handler && handler->TranslateAccelerator(message, nullptr, 0) == S_OK)
        return S_OK;
    const auto key = message.wParam;
    const bool own = key == VK_TAB || key == VK_BACK || key == VK_F5;
    return message.message == WM_KEYDOWN && own ? S_OK : S_FALSE;
}

void ScriptedBrowser::focusChanged(bool gotFocus) {
    ComPtr<ClientSite> site;
    {
        std::lock_guard lock(m_mutex);
        site = m_clientSite;
    }
    if (auto controlSite = site.as<OleControlSite>())
        static_cast<void>(controlSite->OnFocus(gotFocus));  // a notice
}

void ScriptedBrowser::windowDestroyed() {
    ComPtr<OleInPlaceSite> deactivated;
    ComPtr<DropTarget> dropTarget;
    {
        std::lock_guard lock(m_mutex);
        deactivated = std::move(m_inPlaceSite);
        dropTarget = std::move(m_dropTarget);
    }
    if (deactivated)
        static_cast<void>(deactivated->OnInPlaceDeactivate());  // a notice
}

std::vector<ScriptedBrowser::Navigation> ScriptedBrowser::navigations() const {
    std::lock_guard lock(m_mutex);
    return m_navigations;
}

std::string ScriptedBrowser::location() const {
    std::lock_guard lock(m_mutex);
    return m_location;
}

std::string ScriptedBrowser::title() const {
    std::lock_guard lock(m_mutex);
    return m_title;
}

std::vector<std::string> ScriptedBrowser::calls() const {
    return m_calls.lines();
}

std::vector<ScriptCall> ScriptedBrowser::scriptCalls() const {
    return m_scripts->calls();
}

std::size_t ScriptedBrowser::sinkCount() const {
    std::lock_guard lock(m_mutex);
    return m_sinks.size();
}

bool ScriptedBrowser::inPlaceActive() const {
    std::lock_guard lock(m_mutex);
    return static_cast<bool>(m_inPlaceSite);
}

bool ScriptedBrowser::pageNavigates(std::string_view url) {
    const std::string copy(url);
    HRESULT result = E_FAIL;
    return runOnWindowThread(m_window, [&] { result = navigate(copy); }) && succeeded(result);
}

ScriptedBrowser::DropOutcome ScriptedBrowser::drop(DataObject* data, Point point) {
    DropOutcome outcome;
    runOnWindowThread(m_window, [&] {
        ComPtr<DropTarget> target;
        {
            std::lock_guard lock(m_mutex);
            target = m_dropTarget;
        }
        if (!target)
            return;
        outcome.reachedTarget = true;
        constexpr std::uint32_t allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        std::uint32_t effect = allowed;
        outcome.result = target->DragEnter(data, MK_LBUTTON, point, effect);
        // What the target answers to DragLeave and DragOver would only show in the cursor.
        if (!succeeded(outcome.result) || effect == DROPEFFECT_NONE) {
            static_cast<void>(target->DragLeave());
            outcome.effect = DROPEFFECT_NONE;
            return;
        }
        effect = allowed;
        static_cast<void>(target->DragOver(MK_LBUTTON, point, effect));
        effect = allowed;
        outcome.result = target->Drop(data, MK_LBUTTON, point, effect);
        outcome.effect = effect;
    });
    return outcome;
}

ComPtr<ComUnknown> ScriptedBrowser::pageExternal() {
    ComPtr<ComUnknown> external;
    runOnWindowThread(m_window, [&] {
        if (auto handler = uiHandler())
            static_cast<void>(handler->GetExternal(external.put()));  // empty when the page has none
    });
    return external;
}

bool ScriptedBrowser::settle() {
    return settleBrowsersOf(m_window);
}

bool settleBrowsersOf(WindowHandle window) {
    const auto thread = windowThread(window);
    if (!thread)
        return false;
    // Each round lets the thread's loop run what was posted before it.
    constexpr int kRounds = 1000;
    for (int round = 0; round < kRounds; ++round) {
        if (!runOnWindowThread(window, [] {}))
            return false;
        if (loadsOf(*thread) == 0)
            return true;
    }
    return false;
}

}  // namespace compat::testing
