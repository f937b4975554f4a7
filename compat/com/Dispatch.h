#pragma once
// Calls by name or number from a page's script, and the events a browser
// raises: members are found by name and called by their dispatch id.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "compat/com/ComPtr.h"
#include "compat/com/ComUnknown.h"

namespace compat {

using DispatchId = std::int32_t;

// A machine integer (VT_INT), which callees tell apart from the 4-byte
// integer (VT_I4, std::int32_t) by its type, not its value.
struct NativeInt {
    std::int32_t value = 0;
    friend bool operator==(NativeInt, NativeInt) = default;
};

// An argument or a result: nothing, a 4-byte integer, a text, a boolean, a
// machine integer, an object (counted), or a boolean slot of the caller that
// the callee may set (by reference, such as an event's Cancel).
using DispatchValue = std::variant<std::monostate, std::int32_t, std::string, bool, NativeInt, ComPtr<ComUnknown>, bool*>;

class Dispatch : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00020400-0000-0000-C000-000000000046}");

    // DISP_E_UNKNOWNNAME when no member is called `name`.
    virtual HRESULT GetIDsOfNames(std::string_view name, DispatchId& id) = 0;
    // Arguments travel in call order: `arguments[0]` is the first one (the
    // reverse of the platform's own argument array). DISP_E_MEMBERNOTFOUND
    // for an id that is not served, DISP_E_BADPARAMCOUNT for the wrong
    // number of arguments.
    virtual HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue& result) = 0;

protected:
    ~Dispatch() = default;
};

}  // namespace compat
