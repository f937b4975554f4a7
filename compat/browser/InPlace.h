#pragma once
// In-place activation of a control in its container's window: the container
// asks the control to activate (DoVerb), the control asks its site where to
// show itself, and the active control is handed the keys it may want.

#include <cstdint>

#include "compat/browser/MessageRecord.h"
#include "compat/browser/OleWindow.h"
#include "compat/browser/Rect.h"
#include "compat/com/OleObject.h"

namespace compat {

// Verbs.
inline constexpr std::int32_t OLEIVERB_PRIMARY = 0;
inline constexpr std::int32_t OLEIVERB_UIACTIVATE = -4;
inline constexpr std::int32_t OLEIVERB_INPLACEACTIVATE = -5;

// The control's OleObject (the same identifier, the same object) with the
// part that needs windows: compat/com declares the rest.
class InPlaceOleObject : public OleObject {
public:
    static constexpr Guid kId = OleObject::kId;

    // Activates the control on `site` in `parent` at `rect` (client
    // coordinates of `parent`); `message` caused it, or is null.
    virtual HRESULT DoVerb(std::int32_t verb, const MessageRecord* message, ClientSite* site, std::int32_t index,
                           WindowHandle parent, const Rect& rect) = 0;

protected:
    ~InPlaceOleObject() = default;
};

// The site of an in-place control, asked during activation.
class OleInPlaceSite : public OleWindow {
public:
    static constexpr Guid kId = Guid::parse("{00000119-0000-0000-C000-000000000046}");

    // S_OK when the control may activate in place.
    virtual HRESULT CanInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceDeactivate() = 0;
    // Where the control shows itself and what it is clipped to, in client
    // coordinates of the site's window (no frame or document window).
    virtual HRESULT GetWindowContext(Rect& position, Rect& clip) = 0;

protected:
    ~OleInPlaceSite() = default;
};

// The active control, as its container hands it keys.
class OleInPlaceActiveObject : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000117-0000-0000-C000-000000000046}");

    // S_OK when the control took the key, S_FALSE when not.
    virtual HRESULT TranslateAccelerator(const MessageRecord& message) = 0;

protected:
    ~OleInPlaceActiveObject() = default;
};

// The site of a control, told when the control gains or loses the focus.
class OleControlSite : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{B196B289-BAB4-101A-B69C-00AA00341D07}");

    virtual HRESULT OnFocus(bool gotFocus) = 0;

protected:
    ~OleControlSite() = default;
};

}  // namespace compat
