#pragma once
// What a hosted control sees of its host: the site it is placed on and the
// container (the page's document) around that site.

#include "compat/com/ComUnknown.h"

namespace compat {

// The document or form that holds the control; other views of it are
// reached with QueryInterface.
class Container : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{0000011B-0000-0000-C000-000000000046}");

protected:
    ~Container() = default;
};

class ClientSite : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000118-0000-0000-C000-000000000046}");

    // The counted container; a failure and null when the site has none.
    virtual HRESULT GetContainer(Container** container) = 0;

protected:
    ~ClientSite() = default;
};

}  // namespace compat
