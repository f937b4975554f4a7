#pragma once
// Event connections: an object offers a connection point per event
// interface; a sink advised there receives every event as a Dispatch call
// until it is unadvised.

#include <cstdint>

#include "compat/browser/BrowserExport.h"
#include "compat/com/Dispatch.h"

namespace compat {

constexpr HRESULT CONNECT_E_NOCONNECTION = makeResult(0x80040200);

class ConnectionPoint : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{B196B286-BAB4-101A-B69C-00AA00341D07}");

    // Holds a counted reference to `sink` until Unadvise; `cookie` names
    // the connection (never 0).
    virtual HRESULT Advise(Dispatch* sink, std::uint32_t& cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie that names no connection.
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

protected:
    ~ConnectionPoint() = default;
};

class ConnectionPointContainer : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{B196B284-BAB4-101A-B69C-00AA00341D07}");

    // The counted connection point of the event interface `events`;
    // CONNECT_E_NOCONNECTION when the object raises no such events.
    virtual HRESULT FindConnectionPoint(const Guid& events, ConnectionPoint** point) = 0;

protected:
    ~ConnectionPointContainer() = default;
};

// Advises `sink` at the connection point of `events` of `container` (an
// object with ConnectionPointContainer); `cookie` names the connection.
COMPAT_BROWSER_EXPORT HRESULT AtlAdvise(ComUnknown* container, Dispatch* sink, const Guid& events,
                                        std::uint32_t& cookie);
// Ends the connection `cookie` at that connection point.
COMPAT_BROWSER_EXPORT HRESULT AtlUnadvise(ComUnknown* container, const Guid& events, std::uint32_t cookie);

}  // namespace compat
