#include "addon/module/Registration.h"

#include "addon/module/AddonIdentity.h"
#include "compat/com/ComRegistration.h"
#include "compat/store/RegistryKey.h"

namespace ovix {

namespace {

using compat::RegistryHive;
using compat::RegistryKey;

compat::TypeLibraryEntry typeLibrary() {
    return {.id = kTypeLibraryId, .major = kTypeLibraryMajor, .minor = kTypeLibraryMinor, .description = kTypeLibraryName};
}

compat::ClassEntry classEntry(const AddonClass& addonClass) {
    return {.id = addonClass.id,
            .typeName = addonClass.text,
            .threadingModel = addonClass.threadingModel,
            .progIds = compat::ClassEntry::ProgIds{{addonClass.progId, addonClass.progIdText},
                                                   {addonClass.independentProgId, addonClass.independentProgIdText},
                                                   addonClass.classProgId,
                                                   addonClass.classIndependentProgId},
            .programmable = true,
            .typeLibrary = kTypeLibraryId};
}

// A tree that is gone, or was never there.
bool removeTree(RegistryHive hive, const std::string& path) {
    return !RegistryKey::open(hive, path) || RegistryKey::removeTree(hive, path);
}

bool writeBarEntries() {
    const auto bar = RegistryKey::create(RegistryHive::CurrentUser, kExplorerBarKey);
    const auto toolbar = RegistryKey::create(RegistryHive::LocalMachine, kToolbarKey);
    return bar && bar->set(kBarSizeValue, compat::RegistryType::Binary, std::string(1, static_cast<char>(kBarSize))) &&
           toolbar && toolbar->setString(kWToolBarClassId.toString(), kToolbarText);
}

bool removeToolbarEntry() {
    const auto toolbar = RegistryKey::open(RegistryHive::LocalMachine, kToolbarKey);
    const auto name = kWToolBarClassId.toString();
    return !toolbar || !toolbar->query(name) || toolbar->remove(name);
}

}  // namespace

compat::HRESULT RegisterAddon(const std::filesystem::path& module) {
    const auto lock = compat::lockRegistration();
    if (!lock.held())
        return compat::SELFREG_E_TYPELIB;
    for (const char* cache : kClassesCategoryCaches)
        removeTree(compat::kClassesHive, compat::classesPath(cache));
    for (const char* cache : kUserCategoryCaches)
        removeTree(RegistryHive::CurrentUser, cache);

    if (!compat::registerTypeLibrary(typeLibrary(), module))
        return compat::SELFREG_E_TYPELIB;
    for (const auto& addonClass : kAddonClasses) {
        if (!compat::registerClass(classEntry(addonClass), module))
            return compat::SELFREG_E_CLASS;
    }
    if (!writeBarEntries())
        return compat::SELFREG_E_CLASS;
    const compat::HRESULT category =
        compat::addClassToCategory(kBarBandClassId, kInfoBandCategory) ? compat::S_OK : compat::E_FAIL;
    if (!RegistryKey::create(RegistryHive::LocalMachine, kHelperObjectKey))
        return compat::SELFREG_E_CLASS;
    return category;
}

compat::HRESULT UnregisterAddon() {
    const auto lock = compat::lockRegistration();
    if (!lock.held())
        return compat::SELFREG_E_TYPELIB;
    if (!compat::unregisterTypeLibrary(typeLibrary()))
        return compat::SELFREG_E_TYPELIB;
    // Each one is tried, whatever the others do.
    const bool toolbarGone = removeToolbarEntry();
    const bool toolbarClassGone = compat::removeClassKey(kWToolBarClassId);
    const bool barBandClassGone = compat::removeClassKey(kBarBandClassId);
    const bool helperGone = removeTree(RegistryHive::LocalMachine, kHelperObjectKey);
    return toolbarGone && toolbarClassGone && barBandClassGone && helperGone ? compat::S_OK : compat::SELFREG_E_CLASS;
}

}  // namespace ovix
