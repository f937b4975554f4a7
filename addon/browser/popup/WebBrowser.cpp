#include "addon/browser/popup/WebBrowser.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "addon/browser/popup/BrowserSmallIcon.h"
#include "addon/browser/popup/PopupKeyboardHook.h"
#include "addon/core/PageCommands.h"
#include "addon/core/server/AddonThreads.h"
#include "base/LeadingInt.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/ConnectionPoint.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/com/ComObject.h"

namespace ovix {

using namespace compat;

namespace {

constexpr std::string_view kResizeOpening = ":resize(";
constexpr std::uint32_t kPopupStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr std::uint32_t kControlStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL;

int popupSide(int side) {
    return std::clamp(side, 0, kLargestPopupSide);
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Where a side of `length` starts when centred between `start` and `end`,
// moved in where it would leave them, the start first.
int centredStart(int start, int end, int length) {
    const std::int64_t centred = (std::int64_t{start} + end) / 2 - length / 2;
    return static_cast<int>(std::max<std::int64_t>(std::min<std::int64_t>(centred, std::int64_t{end} - length), start));
}

// The size that ":resize(" width "," height ")" in `url` gives, or nothing
// when the command or one of its separators is missing.
std::optional<std::pair<int, int>> resizeCommandSize(std::string_view url) {
    const auto fields = CommandArguments(url, kResizeOpening, 2);
    if (!fields)
        return std::nullopt;
    return std::pair{leadingInt((*fields)[0]), leadingInt((*fields)[1])};
}

}  // namespace

// The popup's sink of its control's events: BeforeNavigate2 goes to the
// popup until the popup lets its control go.
class WebBrowser::Events final : public ComObject<Dispatch> {
public:
    explicit Events(WebBrowser* popup) : m_popup(popup) {}
    void detach() { m_popup = nullptr; }

    HRESULT GetIDsOfNames(std::string_view, DispatchId&) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue&) override {
        if (id != DISPID_BEFORENAVIGATE2)
            return DISP_E_MEMBERNOTFOUND;
        const auto navigation = beforeNavigate2Arguments(arguments);
        if (!navigation)
            return DISP_E_BADPARAMCOUNT;
        if (m_popup)
            m_popup->OnBeforeNavigate2(*navigation.url, *navigation.cancel);
        return S_OK;
    }

private:
    WebBrowser* m_popup;
};

WebBrowser::WebBrowser(std::string title, std::string url, int width, int height)
    : m_title(std::move(title)), m_url(std::move(url)), m_width(popupSide(width)), m_height(popupSide(height)) {}

WebBrowser::~WebBrowser() {
    Disconnect();
}

bool WebBrowser::Open(std::string title, std::string url, int width, int height) {
    std::unique_ptr<WebBrowser> popup(new WebBrowser(std::move(title), std::move(url), width, height));
    try {
        StartThread(std::make_unique<Thread1<int (*)(WebBrowser*), WebBrowser*>>(&ThreadProc, popup.get())).detach();
    } catch (const std::system_error&) {
        return false;
    }
    // The thread owns it now.
    popup.release();
    return true;
}

int WebBrowser::ThreadProc(WebBrowser* popup) {
    const std::unique_ptr<WebBrowser> owned(popup);
    if (!popup->CreateBrowserWindow())
        return 1;
    const PopupKeyboardHook hook;
    Message message;
    while (GetMessage(message) > 0) {
        TranslateMessage(message);
        DispatchMessage(message);
    }
    if (IsWindow(popup->m_window))
        DestroyWindow(popup->m_window);
    return 0;
}

bool WebBrowser::CreateBrowserWindow() {
    m_window = CreateWindowEx(0, kPopupWindowClass, "TagIt", kPopupStyle, 0, 0, m_width, m_height, 0, 0,
                              [this](WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) { return WindowProc(window, message, wParam, lParam); });
    if (m_window == 0)
        return false;
    m_controlWindow =
        CreateWindowEx(0, kAxHostClass, "about:blank", kControlStyle, 0, 0, m_width, m_height, m_window, 0);
    ComPtr<ComUnknown> control;
    if (m_controlWindow != 0 && succeeded(AtlAxGetControl(m_controlWindow, control.put())))
        m_browser = control.as<WebBrowser2>();
    if (m_browser) {
        m_events = ComPtr<Events>::adopt(new Events(this));
        if (!succeeded(AtlAdvise(m_browser.get(), m_events.get(), DIID_DWebBrowserEvents2, m_eventsCookie)))
            m_eventsCookie = 0;
    }
    if (m_eventsCookie == 0) {
        // No browser to show: the popup closes at once.
        DestroyWindow(m_window);
        return false;
    }
    ComPtr<ComUnknown> host;
    if (succeeded(AtlAxGetHost(m_controlWindow, host.put()))) {
        if (auto ambient = host.as<AxWinAmbientDispatch>()) {
            std::uint32_t flags = 0;
            // Refused, the page is shown without the theme.
            if (succeeded(ambient->GetDocHostFlags(flags)))
                static_cast<void>(ambient->PutDocHostFlags(flags | DOCHOSTUIFLAG_THEME));
        }
    }

    MoveWindow(m_window, 0, 0, m_width, m_height, false);
    Rect area;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0);
    MoveWindow(m_window, centredStart(area.left, area.right, m_width), centredStart(area.top, area.bottom, m_height),
               m_width, m_height, false);
    SendMessage(m_window, WM_SIZE, SIZE_RESTORED, makeLParam(m_width, m_height));

    SetWindowText(m_window, m_title);
    SendMessage(m_window, WM_SETICON, ICON_SMALL, static_cast<std::intptr_t>(BrowserSmallIcon()));
    ShowWindow(m_window, SW_SHOW);
    // A page that cannot be opened leaves the popup blank, for its user to close.
    static_cast<void>(m_browser->Navigate2(m_url));
    return true;
}

std::intptr_t WebBrowser::WindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
    switch (message) {
        case WM_SIZE:
            if (IsWindow(m_controlWindow)) {
                Rect client;
                GetClientRect(window, client);
                MoveWindow(m_controlWindow, client.left, client.top, client.width(), client.height(), true);
            }
            return 0;
        case WM_ACTIVATE:
            // Also between two popups of one process, where no WM_ACTIVATEAPP comes.
            if (lowWord(wParam) != WA_INACTIVE)
                PopupKeyboardHook::SetActivePopup(window);
            break;
        case WM_COMMAND:
            return 0;
        case WM_NCDESTROY:
            // However the window went (the close box's SC_CLOSE, whatever its low
            // four bits, reaches the default procedure, which closes it), the
            // popup and its thread end with it.
            Disconnect();
            m_window = 0;
            m_controlWindow = 0;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

void WebBrowser::OnBeforeNavigate2(std::string_view url, bool& cancel) {
    if (!IsPageCommand(url))
        return;
    cancel = true;
    if (url.starts_with(kCloseCommand)) {
        // After the event: the control is still raising it.
        PostMessage(m_window, WM_CLOSE, 0, 0);
        return;
    }
    if (const auto size = resizeCommandSize(url))
        Resize(size->first, size->second);
}

void WebBrowser::Resize(int width, int height) {
    Rect rect;
    if (!GetWindowRect(m_window, rect))
        return;
    width = popupSide(width);
    height = popupSide(height);
    // The centre stays where it was, to within a pixel.
    const std::int64_t left = rect.left - (std::int64_t{rect.left} + width - rect.right) / 2;
    const std::int64_t top = rect.top - (std::int64_t{rect.top} + height - rect.bottom) / 2;
    MoveWindow(m_window, clampToInt(left), clampToInt(top), width, height, true);
}

void WebBrowser::Disconnect() {
    if (m_events)
        m_events->detach();
    // A connection that cannot be ended goes with the browser's last reference.
    if (m_browser && m_eventsCookie != 0)
        static_cast<void>(AtlUnadvise(m_browser.get(), DIID_DWebBrowserEvents2, m_eventsCookie));
    m_eventsCookie = 0;
    m_events.reset();
    m_browser.reset();
}

}  // namespace ovix
