#pragma once
// An object that has a window: bands, band sites, in-place sites.

#include "compat/com/ComUnknown.h"
#include "compat/ipc/MessageQueue.h"

namespace compat {

class OleWindow : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000114-0000-0000-C000-000000000046}");

    virtual HRESULT GetWindow(WindowHandle& window) = 0;

protected:
    ~OleWindow() = default;
};

}  // namespace compat
