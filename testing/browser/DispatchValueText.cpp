#include "testing/browser/DispatchValueText.h"

namespace compat::testing {

std::string describe(const DispatchValue& value) {
    struct Describer {
        std::string operator()(std::monostate) const { return "empty"; }
        std::string operator()(std::int32_t number) const { return "I4 " + std::to_string(number); }
        std::string operator()(const std::string& text) const { return '"' + text + '"'; }
        std::string operator()(bool flag) const { return flag ? "true" : "false"; }
        std::string operator()(NativeInt number) const { return "INT " + std::to_string(number.value); }
        std::string operator()(const ComPtr<ComUnknown>& object) const { return object ? "object" : "null object"; }
        std::string operator()(bool* slot) const { return slot ? std::string("ref ") + (*slot ? "true" : "false") : "null ref"; }
    };
    return std::visit(Describer{}, value);
}

}  // namespace compat::testing
