#pragma once
// How the host of a browser control shapes the control's user interface. A
// browser control asks its client site for this handler; a host that
// replaces the site of a control usually forwards what it does not change to
// the handler of the site it replaced (the control host's default one).

#include <cstdint>
#include <string>
#include <string_view>

#include "compat/browser/DataObject.h"
#include "compat/browser/DropTarget.h"
#include "compat/browser/MessageRecord.h"
#include "compat/browser/Rect.h"

namespace compat {

// Document-host flags (DocHostUiInfo::flags).
inline constexpr std::uint32_t DOCHOSTUIFLAG_NO3DBORDER = 0x00000004;
inline constexpr std::uint32_t DOCHOSTUIFLAG_THEME = 0x00040000;

struct DocHostUiInfo {
    std::uint32_t flags = 0;
    std::uint32_t doubleClick = 0;
};

class DocHostUIHandler : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}");

    // S_OK when the host showed its own menu, S_FALSE for the control's.
    virtual HRESULT ShowContextMenu(std::uint32_t id, Point point, ComUnknown* commandTarget, ComUnknown* object) = 0;
    virtual HRESULT GetHostInfo(DocHostUiInfo& info) = 0;
    virtual HRESULT ShowUI(std::uint32_t id, ComUnknown* activeObject, ComUnknown* commandTarget, ComUnknown* frame,
                           ComUnknown* document) = 0;
    virtual HRESULT HideUI() = 0;
    virtual HRESULT UpdateUI() = 0;
    virtual HRESULT EnableModeless(bool enable) = 0;
    virtual HRESULT OnDocWindowActivate(bool activate) = 0;
    virtual HRESULT OnFrameWindowActivate(bool activate) = 0;
    virtual HRESULT ResizeBorder(const Rect& border, ComUnknown* window, bool frameWindow) = 0;
    // S_OK when the host took the key; `group` may be null.
    virtual HRESULT TranslateAccelerator(const MessageRecord& message, const Guid* group, std::uint32_t command) = 0;
    virtual HRESULT GetOptionKeyPath(std::string& path, std::uint32_t reserved) = 0;
    // The drop target the control uses in place of `proposed` (its own),
    // counted; a failure leaves the control with its own.
    virtual HRESULT GetDropTarget(DropTarget* proposed, DropTarget** target) = 0;
    // The object a page's script reaches as window.external, counted.
    virtual HRESULT GetExternal(ComUnknown** external) = 0;
    virtual HRESULT TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) = 0;
    virtual HRESULT FilterDataObject(DataObject* object, DataObject** filtered) = 0;

protected:
    ~DocHostUIHandler() = default;
};

}  // namespace compat
