#pragma once
// The invisible favorites import control. Its one script method,
// ImportFavorites, gives the user's favorites tree to pages under the
// configured "HomepageUrl" (AdmitsPage), and an empty text to any other.

#include <filesystem>
#include <optional>
#include <string>

#include "compat/com/ClassFactory.h"
#include "compat/com/ComObject.h"
#include "compat/com/ComPtr.h"
#include "compat/com/Dispatch.h"
#include "compat/com/OleObject.h"

namespace ovix::favorites {

class CVantileImportFavoritesCtrl final : public compat::ComObject<compat::OleObject, compat::Dispatch> {
public:
    class CVantileImportFavoritesCtrlFactory;

    // The favorites as JSON text for the hosting page, or an empty text.
    std::string ImportFavorites();

    compat::HRESULT SetClientSite(compat::ClientSite* site) override;
    compat::HRESULT GetClientSite(compat::ClientSite** site) override;
    compat::HRESULT GetMiscStatus(std::uint32_t& status) override;

    compat::HRESULT GetIDsOfNames(std::string_view name, compat::DispatchId& id) override;
    compat::HRESULT Invoke(compat::DispatchId id, std::span<const compat::DispatchValue> arguments,
                           compat::DispatchValue& result) override;

protected:
    // The dispatch interface answers to its own identifier as well.
    void* findInterface(const compat::Guid& id) override;

private:
    // The hosting page's address, when every step to it succeeds.
    std::optional<std::string> pageAddress() const;

    compat::ComPtr<compat::ClientSite> m_site;
};

class CVantileImportFavoritesCtrl::CVantileImportFavoritesCtrlFactory final
    : public compat::ClassFactoryFor<CVantileImportFavoritesCtrl> {
public:
    // Writes (true) or removes (false) the control's class entries for the
    // module at `module`; false on failure.
    bool UpdateRegistry(bool doRegister, const std::filesystem::path& module) const;
};

}  // namespace ovix::favorites
