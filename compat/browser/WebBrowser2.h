#pragma once
// A browser as its add-ons drive it: the browser of a window (the current
// tab) or a browser control hosted in a window. Its events
// (DIID_DWebBrowserEvents2) reach the sinks advised at its connection point.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "compat/com/Dispatch.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

// The browser control's class.
inline constexpr Guid CLSID_WebBrowser = Guid::parse("{8856F961-340A-11D0-A96B-00C04FD705A2}");
// Its event interface and the events raised through it. BeforeNavigate2 has
// seven arguments in this order: the browser (object), the URL (text), flags
// (I4), the target frame (text), post data (empty), headers (text) and Cancel
// (a boolean slot that a sink sets to cancel). DocumentComplete has two: the
// browser and the URL.
inline constexpr Guid DIID_DWebBrowserEvents2 = Guid::parse("{34A715A0-6587-11D0-924A-0020AFC7AC4D}");
inline constexpr DispatchId DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DispatchId DISPID_DOCUMENTCOMPLETE = 259;

// The URL and the Cancel slot of BeforeNavigate2's arguments; both null when
// `arguments` are not seven such that these are a text and a slot.
struct BeforeNavigate2Arguments {
    const std::string* url = nullptr;
    bool* cancel = nullptr;
    explicit operator bool() const { return url && cancel; }
};
inline BeforeNavigate2Arguments beforeNavigate2Arguments(std::span<const DispatchValue> arguments) {
    if (arguments.size() != 7)
        return {};
    const auto* url = std::get_if<std::string>(&arguments[1]);
    auto* const* cancel = std::get_if<bool*>(&arguments[6]);
    return url && cancel && *cancel ? BeforeNavigate2Arguments{url, *cancel} : BeforeNavigate2Arguments{};
}

class WebBrowser2 : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}");

    // Starts a navigation to `url`, with no flags, target frame, post data
    // or headers (no caller gives any).
    virtual HRESULT Navigate2(std::string_view url) = 0;
    // The address and the title of the page shown.
    virtual HRESULT GetLocationURL(std::string& url) = 0;
    virtual HRESULT GetLocationName(std::string& name) = 0;
    // The browser's top-level window; E_FAIL for a browser control.
    virtual HRESULT GetHWND(WindowHandle& window) = 0;
    // Shows or hides the bar of the class whose braced id is the text
    // `classId`; `show` is a boolean, `size` is not used.
    virtual HRESULT ShowBrowserBar(const DispatchValue& classId, const DispatchValue& show,
                                   const DispatchValue& size) = 0;
    virtual HRESULT PutVisible(bool visible) = 0;
    // The page's document, counted; null with S_OK before the first page.
    virtual HRESULT GetDocument(ComUnknown** document) = 0;
    // Whether the browser takes drops (through its UI handler's drop target).
    virtual HRESULT PutRegisterAsDropTarget(bool registered) = 0;
    // The browser's automation object, counted.
    virtual HRESULT GetApplication(ComUnknown** application) = 0;

protected:
    ~WebBrowser2() = default;
};

}  // namespace compat
