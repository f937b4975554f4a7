#pragma once
// A data object as a drag source offers it, for tests: UTF-16 text
// (CF_UNICODETEXT, with or without its terminating zero unit) or a file
// (CF_HDROP only, the path's bytes). Each GetData gives a new memory block,
// which the taker must release; the object tells how many it gave and how
// many of those are freed. Any thread may call it.

#include <mutex>
#include <string>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/DataObject.h"
#include "compat/com/ComObject.h"
#include "compat/com/ComPtr.h"

namespace compat {

class COMPAT_BROWSER_EXPORT DraggedData final : public ComObject<DataObject> {
public:
    static ComPtr<DraggedData> text(std::u16string text, bool terminated = true);
    static ComPtr<DraggedData> file(std::string path);

    HRESULT GetData(const FormatEtc& format, StgMedium& medium) override;

    std::size_t mediaGiven() const;
    std::size_t mediaReleased() const;

private:
    DraggedData(std::uint16_t format, std::string bytes) : m_format(format), m_bytes(std::move(bytes)) {}

    const std::uint16_t m_format;
    const std::string m_bytes;
    mutable std::mutex m_mutex;
    std::vector<GlobalHandle> m_given;
};

}  // namespace compat
