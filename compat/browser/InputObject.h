#pragma once
// Keyboard focus between a band and the window that holds it: the window
// activates the band and hands it keys; the band tells its site when it
// gains or loses the focus.

#include "compat/browser/MessageRecord.h"
#include "compat/com/ComUnknown.h"

namespace compat {

class InputObject : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{68284FAA-6A48-11D0-8C78-00C04FD918B4}");

    // `message` is the one that caused the activation, or null.
    virtual HRESULT UIActivateIO(bool activate, const MessageRecord* message) = 0;
    // S_OK when the band holds the focus, else S_FALSE.
    virtual HRESULT HasFocusIO() = 0;
    // S_OK when the band took the key as an accelerator.
    virtual HRESULT TranslateAcceleratorIO(const MessageRecord& message) = 0;

protected:
    ~InputObject() = default;
};

class InputObjectSite : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{F1DB8392-7331-11D0-8C99-00A0C92DBFE8}");

    virtual HRESULT OnFocusChangeIS(ComUnknown* object, bool focus) = 0;

protected:
    ~InputObjectSite() = default;
};

}  // namespace compat
