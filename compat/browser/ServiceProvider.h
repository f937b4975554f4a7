#pragma once
// How a band finds the browser of the window it sits in: its site is a
// command target that is also a service provider.

#include "compat/com/ComUnknown.h"

namespace compat {

// The browser of the window that hosts the asker (SID_SWebBrowserApp).
inline constexpr Guid SID_SWebBrowserApp = Guid::parse("{0002DF05-0000-0000-C000-000000000046}");

class ServiceProvider : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{6D5140C1-7436-11CE-8034-00AA006009FA}");

    // The service's interface `id`, counted; E_NOINTERFACE for a service or
    // interface that is not offered.
    virtual HRESULT QueryService(const Guid& service, const Guid& id, void** object) = 0;

protected:
    ~ServiceProvider() = default;
};

// A site's command target: callers reach the service provider through it.
class OleCommandTarget : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{B722BCCB-4E68-101B-A2BC-00AA00404770}");

protected:
    ~OleCommandTarget() = default;
};

}  // namespace compat
