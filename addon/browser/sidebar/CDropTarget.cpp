#include "addon/browser/sidebar/CDropTarget.h"

#include "addon/browser/sidebar/CBarBand.h"
#include "addon/core/coding/Base64.h"
#include "base/Utf8.h"
#include "compat/browser/Window.h"

namespace ovix {

using namespace compat;

namespace {

// The text of a CF_UNICODETEXT block, to its first zero unit or its end.
std::string textOf(GlobalHandle block) {
    const auto* units = static_cast<const char16_t*>(GlobalLock(block));
    if (!units)
        return {};
    const std::u16string_view all(units, GlobalSize(block) / sizeof(char16_t));
    std::string text = utf8FromUtf16(all.substr(0, all.find(u'\0')));
    GlobalUnlock(block);
    return text;
}

}  // namespace

HRESULT CDropTarget::DragEnter(DataObject*, std::uint32_t, Point, std::uint32_t& effect) {
    effect = DROPEFFECT_COPY;
    return S_OK;
}

HRESULT CDropTarget::DragOver(std::uint32_t, Point, std::uint32_t&) {
    return S_OK;
}

HRESULT CDropTarget::DragLeave() {
    return S_OK;
}

HRESULT CDropTarget::Drop(DataObject* data, std::uint32_t, Point point, std::uint32_t&) {
    StgMedium medium;
    if (!data || !succeeded(data->GetData(FormatEtc{CF_UNICODETEXT}, medium)))
        return S_OK;
    const bool isBlock = medium.tymed == TYMED_HGLOBAL;
    const std::string text = isBlock ? textOf(medium.global) : std::string();
    ReleaseStgMedium(medium);
    if (isBlock)
        CallDropIt(text, point);
    return S_OK;
}

void CDropTarget::Detach() {
    m_band = nullptr;
    m_document.reset();
}

void CDropTarget::CallDropIt(const std::string& text, Point point) {
    ComPtr<Dispatch> script;
    DispatchId dropIt = 0;
    if (!m_band || !m_document || !succeeded(m_document->GetScript(script.put())) ||
        !succeeded(script->GetIDsOfNames("DropIt", dropIt)))
        return;
    std::string title;
    if (const auto frame = m_band->FrameBrowser()) {
        std::string address;
        if (succeeded(frame->GetLocationURL(address)) && address == text && !succeeded(frame->GetLocationName(title)))
            title.clear();
    }
    ScreenToClient(m_band->BandWindow(), point);
    const DispatchValue arguments[] = {Base64FromText(text), NativeInt{point.x}, NativeInt{point.y},
                                       Base64FromText(title)};
    DispatchValue result;
    // What the page makes of the drop is its own affair.
    static_cast<void>(script->Invoke(dropIt, arguments, result));
}

}  // namespace ovix
