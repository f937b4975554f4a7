#pragma once
// The root of every component interface: reference counting and the lookup
// of the object's other interfaces by their identifiers. An interface is an
// abstract class deriving from ComUnknown with a static `kId`.

#include <cstdint>

#include "compat/com/ComResult.h"
#include "compat/com/Guid.h"

namespace compat {

class ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000000-0000-0000-C000-000000000046}");

    // Stores the interface `id` of this object in `object`, counted, or
    // null with E_NOINTERFACE; E_POINTER when `object` is null.
    virtual HRESULT QueryInterface(const Guid& id, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    // Frees the object when the count reaches zero; returns the new count.
    virtual std::uint32_t Release() = 0;

protected:
    ~ComUnknown() = default;
};

}  // namespace compat
