// The control module: its static objects and its exported entry points.

#include "compat/com/ComExports.h"
#include "compat/com/ComRegistration.h"
#include "compat/com/ModuleUsage.h"
#include "compat/system/ModulePath.h"
#include "favorites/CVantileImportFavoritesApp.h"
#include "favorites/CVantileImportFavoritesCtrl.h"
#include "favorites/CVantileImportFavoritesPropPage.h"
#include "favorites/ControlIdentity.h"

using namespace ovix::favorites;
using compat::HRESULT;

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace ovix::favorites {

// Built at load in this order and destroyed in the reverse one.
CVantileImportFavoritesApp theApp;

}  // namespace ovix::favorites

namespace {

CVantileImportFavoritesCtrl::CVantileImportFavoritesCtrlFactory g_controlFactory;
CVantileImportFavoritesPropPage::CVantileImportFavoritesPropPageFactory g_propertyPageFactory;

// Runs the application object's start once the factories exist, and its end
// before they go.
struct ModuleAttach {
    ModuleAttach() { theApp.InitInstance(); }
    ~ModuleAttach() { theApp.ExitInstance(); }
} g_attach;

std::filesystem::path moduleFile() {
    return compat::modulePath(&theApp);
}

compat::TypeLibraryEntry typeLibrary() {
    return {kTypeLibraryId,
            kTypeLibraryMajor,
            kTypeLibraryMinor,
            kTypeLibraryLocale,
            kTypeLibraryDescription,
            kTypeLibraryHelpFile,
            {{kDispatchInterfaceId, kDispatchInterfaceName}, {kEventInterfaceId, kEventInterfaceName}}};
}

HRESULT addToCategory(const compat::Guid& category, const char* description) {
    if (!compat::registerCategory(category, kCategoryLocale, description) ||
        !compat::addClassToCategory(kControlClassId, category))
        return compat::E_FAIL;
    return compat::S_OK;
}

}  // namespace

MODULE_EXPORT HRESULT DllGetClassObject(const compat::Guid& classId, const compat::Guid& id, void** object) {
    if (!object)
        return compat::E_POINTER;
    *object = nullptr;
    if (classId == kControlClassId)
        return g_controlFactory.QueryInterface(id, object);
    if (classId == kPropertyPageClassId)
        return g_propertyPageFactory.QueryInterface(id, object);
    return compat::CLASS_E_CLASSNOTAVAILABLE;
}

MODULE_EXPORT HRESULT DllCanUnloadNow() {
    return compat::moduleCanUnload() ? compat::S_OK : compat::S_FALSE;
}

// Registration and unregistration run one at a time in every thread and
// process; a store that cannot be locked gives the first step's failure.
MODULE_EXPORT HRESULT DllRegisterServer() {
    const auto lock = compat::lockRegistration();
    if (!lock.held())
        return compat::SELFREG_E_TYPELIB;
    const auto module = moduleFile();
    if (!compat::registerTypeLibrary(typeLibrary(), module))
        return compat::SELFREG_E_TYPELIB;
    if (!g_controlFactory.UpdateRegistry(true, module) || !g_propertyPageFactory.UpdateRegistry(true, module))
        return compat::SELFREG_E_CLASS;
    if (const HRESULT result = addToCategory(kSafeForInitializing, kSafeForInitializingText); result != compat::S_OK)
        return result;
    return addToCategory(kSafeForScripting, kSafeForScriptingText);
}

MODULE_EXPORT HRESULT DllUnregisterServer() {
    const auto lock = compat::lockRegistration();
    if (!lock.held())
        return compat::E_FAIL;
    if (!compat::removeClassFromCategory(kControlClassId, kSafeForInitializing) ||
        !compat::removeClassFromCategory(kControlClassId, kSafeForScripting))
        return compat::E_FAIL;
    if (!compat::unregisterTypeLibrary(typeLibrary()))
        return compat::SELFREG_E_TYPELIB;
    const auto module = moduleFile();
    if (!g_controlFactory.UpdateRegistry(false, module) || !g_propertyPageFactory.UpdateRegistry(false, module))
        return compat::SELFREG_E_CLASS;
    return compat::S_OK;
}
