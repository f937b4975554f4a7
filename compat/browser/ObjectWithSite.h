#pragma once
// An object that a host places on a site (a helper object on its browser, a
// band on its band site) and later takes off again with a null site.

#include "compat/com/ComUnknown.h"

namespace compat {

class ObjectWithSite : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{FC4801A3-2BA9-11CF-A229-00AA003D7352}");

    virtual HRESULT SetSite(ComUnknown* site) = 0;
    // The site's interface `id`, counted, in `site`.
    virtual HRESULT GetSite(const Guid& id, void** site) = 0;

protected:
    ~ObjectWithSite() = default;
};

}  // namespace compat
