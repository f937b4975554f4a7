#pragma once
// The parts of a page's document that its hosts and controls use: its
// location with the location's address, and its script object.

#include <string>

#include "compat/com/Dispatch.h"

namespace compat {

class HtmlLocation : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{163BB1E0-6E00-11CF-837A-48DC04C10000}");

    // The page's full address.
    virtual HRESULT GetHref(std::string& href) = 0;

protected:
    ~HtmlLocation() = default;
};

class HtmlDocument : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{332C4425-26CB-11D0-B483-00C04FD90119}");

    // The counted location; a failure and null when there is none.
    virtual HRESULT GetLocation(HtmlLocation** location) = 0;
    // The counted script object (the page's window), through which its
    // script functions are called; a failure and null when there is none.
    virtual HRESULT GetScript(Dispatch** script) = 0;

protected:
    ~HtmlDocument() = default;
};

}  // namespace compat
