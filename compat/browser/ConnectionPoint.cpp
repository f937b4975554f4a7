#include "compat/browser/ConnectionPoint.h"

namespace compat {

namespace {

HRESULT findPoint(ComUnknown* container, const Guid& events, ComPtr<ConnectionPoint>& point) {
    if (!container)
        return E_POINTER;
    ComPtr<ConnectionPointContainer> points;
    const HRESULT found = container->QueryInterface(ConnectionPointContainer::kId, points.putVoid());
    return succeeded(found) ? points->FindConnectionPoint(events, point.put()) : found;
}

}  // namespace

HRESULT AtlAdvise(ComUnknown* container, Dispatch* sink, const Guid& events, std::uint32_t& cookie) {
    ComPtr<ConnectionPoint> point;
    const HRESULT found = findPoint(container, events, point);
    return succeeded(found) ? point->Advise(sink, cookie) : found;
}

HRESULT AtlUnadvise(ComUnknown* container, const Guid& events, std::uint32_t cookie) {
    ComPtr<ConnectionPoint> point;
    const HRESULT found = findPoint(container, events, point);
    return succeeded(found) ? point->Unadvise(cookie) : found;
}

}  // namespace compat
