#pragma once
// A popup browser window: a captioned top-level window that holds one
// browser control, on a user-interface thread of its own, for the small
// dialogs of the local web interface. Its page may give two commands:
// "morvane:close" closes the popup, ":resize(" width "," height ")" in a
// "morvane:" address resizes it around its centre; every "morvane:" address
// is cancelled, any other goes ahead. Keys reach the control through the
// thread's PopupKeyboardHook while the popup is the last one activated.
//
// The popup's thread owns the object: it ends, and frees it, once the window
// is destroyed, whoever destroys it (close box, WM_CLOSE, a page's close
// command, a destroy from elsewhere). A popup whose browser control cannot
// be made closes at once. Each thread counts as a use of the module
// (AddonThreads.h), so the module stays loaded while a popup is open.
//
// Open may be called from any thread; everything else runs on the popup's
// own thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "compat/browser/WebBrowser2.h"
#include "compat/browser/Window.h"
#include "compat/com/ComPtr.h"

namespace ovix {

// The window class of popups, by which tests find them.
inline constexpr std::string_view kPopupWindowClass = "VantilePopup";
// A popup's width and height are held to 0 ..
// this (WM_SIZE carries them in 16-bit words).
inline constexpr int kLargestPopupSide = 0x7FFF;

class WebBrowser {
public:
    // Opens a popup titled `title` on `url`, `width` by `height` pixels,
    // centred in the work area, on a thread of its own; returns at once.
    // False when no thread can be started (nothing is left open).
    static bool Open(std::string title, std::string url, int width, int height);

    ~WebBrowser();
    WebBrowser(const WebBrowser&) = delete;
    WebBrowser& operator=(const WebBrowser&) = delete;

private:
    class Events;

    WebBrowser(std::string title, std::string url, int width, int height);

    // The popup's thread: makes the window, runs its message loop until the
    // window is gone, frees the popup. 1 when the window could not be made.
    static int ThreadProc(WebBrowser* popup);
    // The popup window, its control and the connection to the control's
    // events; false, with nothing left open, when any of it cannot be made.
    bool CreateBrowserWindow();
    std::intptr_t WindowProc(compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);
    // Carries out the popup's commands; sets `cancel` for every "morvane:" address.
    void OnBeforeNavigate2(std::string_view url, bool& cancel);
    void Resize(int width, int height);
    // Ends the connection to the control's events and lets the control go.
    void Disconnect();

    compat::WindowHandle m_window = 0;
    std::uint32_t m_eventsCookie = 0;
    const std::string m_title;
    const std::string m_url;
    const int m_width;
    const int m_height;
    compat::WindowHandle m_controlWindow = 0;
    compat::ComPtr<compat::WebBrowser2> m_browser;
    compat::ComPtr<Events> m_events;
};

}  // namespace ovix
