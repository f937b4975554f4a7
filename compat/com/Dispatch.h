#pragma once
// Calls by name or number from a page's script: members are found by name
// and called by their dispatch id.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "compat/com/ComUnknown.h"

namespace compat {

using DispatchId = std::int32_t;

// An argument or a result of a script call: nothing, an integer or a text.
using DispatchValue = std::variant<std::monostate, std::int32_t, std::string>;

class Dispatch : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00020400-0000-0000-C000-000000000046}");

    // DISP_E_UNKNOWNNAME when no member is called `name`.
    virtual HRESULT GetIDsOfNames(std::string_view name, DispatchId& id) = 0;
    // DISP_E_MEMBERNOTFOUND for an id that is not served,
    // DISP_E_BADPARAMCOUNT for the wrong number of arguments.
    virtual HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue& result) = 0;

protected:
    ~Dispatch() = default;
};

}  // namespace compat
