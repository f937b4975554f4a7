#pragma once
// The control's property page: a page captioned "General" with no controls.

#include <filesystem>
#include <string>

#include "compat/com/ClassFactory.h"
#include "compat/com/ComObject.h"

namespace ovix::favorites {

class CVantileImportFavoritesPropPage final : public compat::ComObject<compat::ComUnknown> {
public:
    class CVantileImportFavoritesPropPageFactory;

    static constexpr int kDialogId = 200;
    std::string Caption() const { return "General"; }
};

class CVantileImportFavoritesPropPage::CVantileImportFavoritesPropPageFactory final
    : public compat::ClassFactoryFor<CVantileImportFavoritesPropPage> {
public:
    // Writes (true) or removes (false) the page's class entries for the
    // module at `module`; false on failure.
    bool UpdateRegistry(bool doRegister, const std::filesystem::path& module) const;
};

}  // namespace ovix::favorites
