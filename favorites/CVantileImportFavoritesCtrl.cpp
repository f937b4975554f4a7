#include "favorites/CVantileImportFavoritesCtrl.h"

#include <new>

#include "addon/core/AdmitsPage.h"
#include "compat/com/ComRegistration.h"
#include "compat/com/HtmlDocument.h"
#include "favorites/CVantileImportFavoritesApp.h"
#include "favorites/ControlIdentity.h"
#include "favorites/FavoritesExport.h"

namespace ovix::favorites {

using compat::HRESULT;

std::string CVantileImportFavoritesCtrl::ImportFavorites() {
    const auto address = pageAddress();
    if (!address || !AdmitsPage(theApp.config.HomepageUrl, *address))
        return {};
    return ExportFavorites();
}

std::optional<std::string> CVantileImportFavoritesCtrl::pageAddress() const {
    if (!m_site)
        return std::nullopt;
    compat::ComPtr<compat::Container> container;
    if (!compat::succeeded(m_site->GetContainer(container.put())) || !container)
        return std::nullopt;
    const auto document = container.as<compat::HtmlDocument>();
    if (!document)
        return std::nullopt;
    compat::ComPtr<compat::HtmlLocation> location;
    if (!compat::succeeded(document->GetLocation(location.put())) || !location)
        return std::nullopt;
    std::string href;
    if (!compat::succeeded(location->GetHref(href)))
        return std::nullopt;
    return href;
}

HRESULT CVantileImportFavoritesCtrl::SetClientSite(compat::ClientSite* site) {
    if (site)
        site->AddRef();
    m_site = compat::ComPtr<compat::ClientSite>::adopt(site);
    return compat::S_OK;
}

HRESULT CVantileImportFavoritesCtrl::GetClientSite(compat::ClientSite** site) {
    if (!site)
        return compat::E_POINTER;
    *site = m_site.get();
    if (*site)
        (*site)->AddRef();
    return compat::S_OK;
}

HRESULT CVantileImportFavoritesCtrl::GetMiscStatus(std::uint32_t& status) {
    status = kControlMiscStatus;
    return compat::S_OK;
}

HRESULT CVantileImportFavoritesCtrl::GetIDsOfNames(std::string_view name, compat::DispatchId& id) {
    if (name != "ImportFavorites")
        return compat::DISP_E_UNKNOWNNAME;
    id = kImportFavoritesId;
    return compat::S_OK;
}

HRESULT CVantileImportFavoritesCtrl::Invoke(compat::DispatchId id, std::span<const compat::DispatchValue> arguments,
                                            compat::DispatchValue& result) {
    if (id != kImportFavoritesId)
        return compat::DISP_E_MEMBERNOTFOUND;
    if (!arguments.empty())
        return compat::DISP_E_BADPARAMCOUNT;
    try {
        result = ImportFavorites();
    } catch (const std::bad_alloc&) {
        return compat::E_OUTOFMEMORY;
    }
    return compat::S_OK;
}

void* CVantileImportFavoritesCtrl::findInterface(const compat::Guid& id) {
    if (id == kDispatchInterfaceId)
        return static_cast<compat::Dispatch*>(this);
    return ComObject::findInterface(id);
}

bool CVantileImportFavoritesCtrl::CVantileImportFavoritesCtrlFactory::UpdateRegistry(
    bool doRegister, const std::filesystem::path& module) const {
    compat::ClassEntry entry{kControlClassId, kControlProgId, kControlTypeName, kThreadingModel, std::nullopt};
    entry.control = compat::ClassEntry::Control{
        kControlMiscStatus, kControlToolboxBitmap, kTypeLibraryId,
        std::to_string(kTypeLibraryMajor) + "." + std::to_string(kTypeLibraryMinor)};
    return doRegister ? compat::registerClass(entry, module) : compat::unregisterClass(entry);
}

}  // namespace ovix::favorites
