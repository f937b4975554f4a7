#pragma once
// The control host's site, the first client site of each control it makes,
// with the host's default UI handler and ambient properties. For the control
// host's own sources; its callers reach it through AtlAxGetHost. Any thread
// may call it.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/AxHost.h"
#include "compat/browser/CallLog.h"
#include "compat/browser/DocHostUIHandler.h"
#include "compat/com/ClientSite.h"
#include "compat/com/ComObject.h"

namespace compat {

class COMPAT_BROWSER_EXPORT AxHostSite final : public ComObject<ClientSite, DocHostUIHandler, AxWinAmbientDispatch> {
public:
    AxHostSite() = default;

    HRESULT GetContainer(Container** container) override;

    // The default UI handler: each call is recorded by its name; GetHostInfo
    // gives the document-host flags, and the handler changes nothing else
    // (S_FALSE where that tells the control to go on, E_NOTIMPL where there is
    // nothing to give).
    HRESULT ShowContextMenu(std::uint32_t id, Point point, ComUnknown* commandTarget, ComUnknown* object) override;
    HRESULT GetHostInfo(DocHostUiInfo& info) override;
    HRESULT ShowUI(std::uint32_t id, ComUnknown* activeObject, ComUnknown* commandTarget, ComUnknown* frame,
                   ComUnknown* document) override;
    HRESULT HideUI() override;
    HRESULT UpdateUI() override;
    HRESULT EnableModeless(bool enable) override;
    HRESULT OnDocWindowActivate(bool activate) override;
    HRESULT OnFrameWindowActivate(bool activate) override;
    HRESULT ResizeBorder(const Rect& border, ComUnknown* window, bool frameWindow) override;
    HRESULT TranslateAccelerator(const MessageRecord& message, const Guid* group, std::uint32_t command) override;
    HRESULT GetOptionKeyPath(std::string& path, std::uint32_t reserved) override;
    HRESULT GetDropTarget(DropTarget* proposed, DropTarget** target) override;
    HRESULT GetExternal(ComUnknown** external) override;
    HRESULT TranslateUrl(std::uint32_t translate, std::string_view url, std::string& translated) override;
    HRESULT FilterDataObject(DataObject* object, DataObject** filtered) override;

    HRESULT GetDocHostFlags(std::uint32_t& flags) override;
    HRESULT PutDocHostFlags(std::uint32_t flags) override;

    // The UI handler's calls so far ("GetHostInfo", ...).
    std::vector<std::string> calls() const { return m_calls.lines(); }

private:
    CallLog m_calls;
    std::atomic<std::uint32_t> m_docHostFlags{DOCHOSTUIFLAG_NO3DBORDER};
};

}  // namespace compat
