#include "favorites/CVantileImportFavoritesPropPage.h"

#include "compat/com/ComRegistration.h"
#include "favorites/ControlIdentity.h"

namespace ovix::favorites {

bool CVantileImportFavoritesPropPage::CVantileImportFavoritesPropPageFactory::UpdateRegistry(
    bool doRegister, const std::filesystem::path& module) const {
    const compat::ClassEntry entry{kPropertyPageClassId, kPropertyPageProgId, kPropertyPageTypeName,
                                   kThreadingModel, std::nullopt};
    return doRegister ? compat::registerClass(entry, module) : compat::unregisterClass(entry);
}

}  // namespace ovix::favorites
