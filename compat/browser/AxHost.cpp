#include "compat/browser/AxHost.h"

#include <map>
#include <mutex>
#include <optional>

#include "compat/browser/AxHostSite.h"
#include "compat/browser/BrowserControl.h"
#include "compat/browser/InPlace.h"
#include "compat/browser/SimulatedInput.h"
#include "compat/browser/Window.h"
#include "compat/browser/WindowClass.h"
#include "compat/browser/WindowInternals.h"

namespace compat {

namespace {

struct Hosted {
    ComPtr<BrowserControl> control;
    ComPtr<AxHostSite> site;
    WindowHandle controlWindow = 0;
};

struct HostTable {
    std::mutex mutex;
    std::map<WindowHandle, Hosted> containers;
};

HostTable& hosts() {
    static auto* table = new HostTable;
    return *table;
}

std::optional<Hosted> hostedIn(WindowHandle container) {
    if (!IsWindow(container))
        return std::nullopt;
    auto& t = hosts();
    std::lock_guard lock(t.mutex);
    auto found = t.containers.find(container);
    if (found == t.containers.end())
        return std::nullopt;
    return found->second;
}

// The control whose window is `controlWindow` leaves `container`.
void forget(WindowHandle container, WindowHandle controlWindow) {
    Hosted gone;
    auto& t = hosts();
    std::lock_guard lock(t.mutex);
    auto found = t.containers.find(container);
    if (found != t.containers.end() && found->second.controlWindow == controlWindow) {
        gone = std::move(found->second);
        t.containers.erase(found);
    }
}

// Whether `name` names the browser control; `address` tells whether it is an
// address to navigate to rather than a class id.
HRESULT browserControlNamed(std::string_view name, bool& address) {
    address = !name.empty() && name.front() != '{';
    if (address)
        return S_OK;
    return Guid::tryParse(name) == CLSID_WebBrowser ? S_OK : REGDB_E_CLASSNOTREG;
}

// A window of the control host's class.
class AxHostWindow final : public WindowClassBehavior {
public:
    std::optional<std::intptr_t> handle(WindowHandle window, std::uint32_t message, std::uintptr_t,
                                        std::intptr_t lParam) override {
        if (message != WM_SIZE && message != WM_FORWARDMSG)
            return std::nullopt;
        const auto hosted = hostedIn(window);
        if (!hosted)
            return 0;
        if (message == WM_SIZE) {
            const auto size = static_cast<std::uintptr_t>(lParam);
            MoveWindow(hosted->controlWindow, 0, 0, lowWord(size), highWord(size), true);
            return 0;
        }
        const auto* record = reinterpret_cast<const MessageRecord*>(lParam);
        const auto keys = hosted->control.as<OleInPlaceActiveObject>();
        return record && keys && keys->TranslateAccelerator(*record) == S_OK ? 1 : 0;
    }
};

}  // namespace

HRESULT AtlAxCreateControl(std::string_view name, WindowHandle container, ComUnknown** control) {
    if (control)
        *control = nullptr;
    bool address = false;
    if (const HRESULT known = browserControlNamed(name, address); known != S_OK)
        return known;
    const BrowserControlFactory factory = browserControlFactory();
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    Rect client;
    if (!isDesktopWindow(container) || windowThread(container) != currentThreadId() ||
        !GetClientRect(container, client))
        return E_FAIL;
    auto site = ComPtr<AxHostSite>::adopt(new AxHostSite);
    // The control's window tells its control of focus and of its end.
    auto holder = std::make_shared<ComPtr<BrowserControl>>();
    const WindowHandle window = CreateWindowEx(
        0, kBrowserControlClass, "", WS_CHILD | WS_VISIBLE, 0, 0, client.width(), client.height(), container, 0,
        [holder, container](WindowHandle w, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            if ((message == WM_SETFOCUS || message == WM_KILLFOCUS) && *holder) {
                (*holder)->focusChanged(message == WM_SETFOCUS);
                return std::intptr_t{0};
            }
            if (message == WM_DESTROY && *holder) {
                (*holder)->windowDestroyed();
                forget(container, w);
                holder->reset();
                return std::intptr_t{0};
            }
            return DefWindowProc(w, message, wParam, lParam);
        });
    if (window == 0)
        return E_FAIL;
    auto browser = factory(window, site.as<ClientSite>());
    if (!browser) {
        DestroyWindow(window);
        return E_FAIL;
    }
    *holder = browser;
    {
        auto& t = hosts();
        std::lock_guard lock(t.mutex);
        t.containers[container] = Hosted{browser, site, window};
    }
    // The control stands even when its first page cannot be opened.
    if (address)
        static_cast<void>(browser->navigate(name));
    if (control) {
        *control = static_cast<WebBrowser2*>(browser.get());
        (*control)->AddRef();
    }
    return S_OK;
}

HRESULT AtlAxGetControl(WindowHandle container, ComUnknown** control) {
    if (!control)
        return E_POINTER;
    *control = nullptr;
    const auto hosted = hostedIn(container);
    if (!hosted)
        return E_FAIL;
    *control = static_cast<WebBrowser2*>(hosted->control.get());
    (*control)->AddRef();
    return S_OK;
}

HRESULT AtlAxGetHost(WindowHandle container, ComUnknown** host) {
    if (!host)
        return E_POINTER;
    *host = nullptr;
    const auto hosted = hostedIn(container);
    if (!hosted)
        return E_FAIL;
    *host = static_cast<ClientSite*>(hosted->site.get());
    (*host)->AddRef();
    return S_OK;
}

std::shared_ptr<WindowClassBehavior> makeAxHostBehavior(WindowHandle window) {
    if (!succeeded(AtlAxCreateControl(GetWindowText(window), window, nullptr)))
        return nullptr;
    return std::make_shared<AxHostWindow>();
}

std::vector<std::string> controlHostUiCalls(WindowHandle container) {
    const auto hosted = hostedIn(container);
    return hosted ? hosted->site->calls() : std::vector<std::string>{};
}

}  // namespace compat
