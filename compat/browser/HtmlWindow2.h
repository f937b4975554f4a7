#pragma once
// A page's window as its script object: code is run in it by text.

#include <string_view>

#include "compat/com/Dispatch.h"

namespace compat {

class HtmlWindow2 : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{332C4427-26CB-11D0-B483-00C04FD90119}");

    // Runs `code` in the script language `language`.
    virtual HRESULT execScript(std::string_view code, std::string_view language, DispatchValue& result) = 0;

protected:
    ~HtmlWindow2() = default;
};

}  // namespace compat
