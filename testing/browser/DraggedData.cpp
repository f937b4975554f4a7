#include "testing/browser/DraggedData.h"

#include <cstring>

#include "compat/browser/SimulatedInput.h"

namespace compat::testing {

ComPtr<DraggedData> DraggedData::text(std::u16string text, bool terminated) {
    if (terminated)
        text.push_back(u'\0');
    std::string bytes(text.size() * sizeof(char16_t), '\0');
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return ComPtr<DraggedData>::adopt(new DraggedData(CF_UNICODETEXT, std::move(bytes)));
}

ComPtr<DraggedData> DraggedData::file(std::string path) {
    path.push_back('\0');
    return ComPtr<DraggedData>::adopt(new DraggedData(CF_HDROP, std::move(path)));
}

HRESULT DraggedData::GetData(const FormatEtc& format, StgMedium& medium) {
    medium = StgMedium{};
    if (format.format != m_format || !(format.tymed & TYMED_HGLOBAL))
        return DV_E_FORMATETC;
    const GlobalHandle block = GlobalAlloc(m_bytes.size());
    if (!block)
        return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(block), m_bytes.data(), m_bytes.size());
    GlobalUnlock(block);
    medium = StgMedium{TYMED_HGLOBAL, block};
    std::lock_guard lock(m_mutex);
    m_given.push_back(block);
    return S_OK;
}

std::size_t DraggedData::mediaGiven() const {
    std::lock_guard lock(m_mutex);
    return m_given.size();
}

std::size_t DraggedData::mediaReleased() const {
    std::lock_guard lock(m_mutex);
    std::size_t released = 0;
    for (GlobalHandle block : m_given)
        released += isGlobalBlock(block) ? 0 : 1;
    return released;
}

}  // namespace compat::testing
