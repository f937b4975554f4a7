#pragma once
// The drop target of the sidebar's page. Text dropped on the page goes to
// the page's script function DropIt with four arguments: the Base64 of the
// text (of its UTF-8 bytes), x and y of the drop in the band window's client
// coordinates (machine integers), and the Base64 of the title of the frame's
// page when the text is the frame's address exactly, else "". Anything
// dropped is taken (S_OK) and its medium released; what is no text, or a
// page without DropIt, calls nothing. The band gives it the page's document
// at each DocumentComplete and detaches it when it goes. It runs on the
// band's thread.

#include <string>

#include "compat/browser/DropTarget.h"
#include "compat/com/ComObject.h"
#include "compat/com/HtmlDocument.h"

namespace ovix {

class CBarBand;

class CDropTarget final : public compat::ComObject<compat::DropTarget> {
public:
    explicit CDropTarget(CBarBand* band) : m_band(band) {}

    // Offers to copy.
    compat::HRESULT DragEnter(compat::DataObject* data, std::uint32_t keyState, compat::Point point,
                              std::uint32_t& effect) override;
    compat::HRESULT DragOver(std::uint32_t keyState, compat::Point point, std::uint32_t& effect) override;
    compat::HRESULT DragLeave() override;
    // Reads the text (CF_UNICODETEXT) to its zero unit or the block's end,
    // releases the medium, then calls DropIt; S_OK, the effect unchanged.
    compat::HRESULT Drop(compat::DataObject* data, std::uint32_t keyState, compat::Point point,
                         std::uint32_t& effect) override;

    // The hosted page's document (null: none).
    void SetDocument(compat::ComPtr<compat::HtmlDocument> document) { m_document = std::move(document); }
    // The band goes: drops do nothing from now on.
    void Detach();

private:
    void CallDropIt(const std::string& text, compat::Point point);

    CBarBand* m_band;  // owns this target; null once detached
    compat::ComPtr<compat::HtmlDocument> m_document;
};

}  // namespace ovix
