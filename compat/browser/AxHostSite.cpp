#include "compat/browser/AxHostSite.h"

namespace compat {

HRESULT AxHostSite::GetContainer(Container** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT AxHostSite::ShowContextMenu(std::uint32_t, Point, ComUnknown*, ComUnknown*) {
    m_calls.add("ShowContextMenu");
    return S_FALSE;
}

HRESULT AxHostSite::GetHostInfo(DocHostUiInfo& info) {
    m_calls.add("GetHostInfo");
    info.flags = m_docHostFlags;
    return S_OK;
}

HRESULT AxHostSite::ShowUI(std::uint32_t, ComUnknown*, ComUnknown*, ComUnknown*, ComUnknown*) {
    m_calls.add("ShowUI");
    return S_FALSE;
}

HRESULT AxHostSite::HideUI() {
    m_calls.add("HideUI");
    return S_OK;
}

HRESULT AxHostSite::UpdateUI() {
    m_calls.add("UpdateUI");
    return S_OK;
}

HRESULT AxHostSite::EnableModeless(bool) {
    m_calls.add("EnableModeless");
    return S_OK;
}

HRESULT AxHostSite::OnDocWindowActivate(bool) {
    m_calls.add("OnDocWindowActivate");
    return S_OK;
}

HRESULT AxHostSite::OnFrameWindowActivate(bool) {
    m_calls.add("OnFrameWindowActivate");
    return S_OK;
}

HRESULT AxHostSite::ResizeBorder(const Rect&, ComUnknown*, bool) {
    m_calls.add("ResizeBorder");
    return S_OK;
}

HRESULT AxHostSite::TranslateAccelerator(const MessageRecord&, const Guid*, std::uint32_t) {
    m_calls.add("TranslateAccelerator");
    return S_FALSE;
}

HRESULT AxHostSite::GetOptionKeyPath(std::string& path, std::uint32_t) {
    m_calls.add("GetOptionKeyPath");
    path.clear();
    return E_NOTIMPL;
}

HRESULT AxHostSite::GetDropTarget(DropTarget*, DropTarget** target) {
    m_calls.add("GetDropTarget");
    if (target)
        *target = nullptr;
    return E_NOTIMPL;
}

HRESULT AxHostSite::GetExternal(ComUnknown** external) {
    m_calls.add("GetExternal");
    if (external)
        *external = nullptr;
    return E_NOTIMPL;
}

HRESULT AxHostSite::TranslateUrl(std::uint32_t, std::string_view, std::string& translated) {
    m_calls.add("TranslateUrl");
    translated.clear();
    return S_FALSE;
}

HRESULT AxHostSite::FilterDataObject(DataObject*, DataObject** filtered) {
    m_calls.add("FilterDataObject");
    if (filtered)
        *filtered = nullptr;
    return S_FALSE;
}

HRESULT AxHostSite::GetDocHostFlags(std::uint32_t& flags) {
    flags = m_docHostFlags;
    return S_OK;
}

HRESULT AxHostSite::PutDocHostFlags(std::uint32_t flags) {
    m_docHostFlags = flags;
    return S_OK;
}

}  // namespace compat
