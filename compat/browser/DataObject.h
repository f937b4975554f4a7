#pragma once
// Data that is dragged or copied, offered in formats; the taker of a medium
// releases it with ReleaseStgMedium.

#include <cstdint>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/GlobalMemory.h"
#include "compat/com/ComUnknown.h"

namespace compat {

// Clipboard formats: UTF-16 text ending in a zero unit, a list of files.
inline constexpr std::uint16_t CF_UNICODETEXT = 13;
inline constexpr std::uint16_t CF_HDROP = 15;
inline constexpr std::uint32_t DVASPECT_CONTENT = 1;
inline constexpr std::uint32_t TYMED_NULL = 0;
inline constexpr std::uint32_t TYMED_HGLOBAL = 1;
constexpr HRESULT DV_E_FORMATETC = makeResult(0x80040064);

struct FormatEtc {
    std::uint16_t format = 0;
    std::uint32_t aspect = DVASPECT_CONTENT;
    std::int32_t index = -1;
    std::uint32_t tymed = TYMED_HGLOBAL;
};

// A medium that GetData hands over: a memory block for TYMED_HGLOBAL.
struct StgMedium {
    std::uint32_t tymed = TYMED_NULL;
    GlobalHandle global = 0;
};

class DataObject : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{0000010E-0000-0000-C000-000000000046}");

    // A new medium with the data in `format`, which the caller releases;
    // DV_E_FORMATETC when the data is not offered so.
    virtual HRESULT GetData(const FormatEtc& format, StgMedium& medium) = 0;

protected:
    ~DataObject() = default;
};

// Frees the medium's block and empties it.
COMPAT_BROWSER_EXPORT void ReleaseStgMedium(StgMedium& medium);

}  // namespace compat
