#pragma once
// A control as its host places it: the host hands it a site, and asks how
// it wants to be shown.

#include <cstdint>

#include "compat/com/ClientSite.h"

namespace compat {

class OleObject : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000112-0000-0000-C000-000000000046}");

    // Keeps a counted reference to `site` (null takes the control off its
    // site).
    virtual HRESULT SetClientSite(ClientSite* site) = 0;
    // The counted site; S_OK with null when there is none.
    virtual HRESULT GetClientSite(ClientSite** site) = 0;
    // The control's status bits for its host.
    virtual HRESULT GetMiscStatus(std::uint32_t& status) = 0;

protected:
    ~OleObject() = default;
};

}  // namespace compat
