// The add-on module: its static objects and its exported entry points.

#include <array>

#include "addon/browser/AddonClassIds.h"
#include "addon/browser/bho/BHO.h"
#include "addon/browser/sidebar/CBarBand.h"
#include "addon/browser/toolbar/CWToolBar.h"
#include "addon/core/CVantileApp.h"
#include "addon/core/Singleton.h"
#include "addon/module/Registration.h"
#include "compat/com/ClassFactory.h"
#include "compat/com/ComExports.h"
#include "compat/com/ModuleUsage.h"
#include "compat/system/ModulePath.h"

using namespace ovix;
using compat::HRESULT;

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace ovix {

CVantileApp theApp;

template <>
ServerState& Singleton<ServerState>::Instance() {
    static ServerState* const instance = new ServerState(
        ServerState::Options{.sidebarUrl = theApp.config.SidebarUrl, .checkOn = theApp.config.SidebarCheckOn});
    return *instance;
}

}  // namespace ovix

namespace {

// Whether the application object accepted the host program at load.
bool g_started = false;

// Runs the application object's start at load and its end at unload; a
// refused start leaves the module loaded but unusable.
struct ModuleAttach {
    ModuleAttach() { g_started = theApp.InitInstance(); }
    ~ModuleAttach() {
        if (g_started)
            theApp.ExitInstance();
    }
} g_attach;

struct ClassFactoryEntry {
    compat::Guid id;
    compat::ClassFactory* factory;
};

template <class T>
class Factory final : public compat::ClassFactoryFor<T> {};

// The toolbar band of the module's application object.
class ModuleToolBar final : public CWToolBar {
public:
    ModuleToolBar() : CWToolBar(theApp) {}
};

Factory<CBarBand> g_barBandFactory;
Factory<BHO> g_bhoFactory;
Factory<ModuleToolBar> g_toolBarFactory;

// The factories of the classes that the module serves.
const std::array kClassFactories{
    ClassFactoryEntry{kBarBandClassId, &g_barBandFactory},
    ClassFactoryEntry{kBhoClassId, &g_bhoFactory},
    ClassFactoryEntry{kWToolBarClassId, &g_toolBarFactory},
};

std::filesystem::path moduleFile() {
    return compat::modulePath(&theApp);
}

}  // namespace

MODULE_EXPORT HRESULT DllGetClassObject(const compat::Guid& classId, const compat::Guid& id, void** object) {
    if (!object)
        return compat::E_POINTER;
    *object = nullptr;
    if (!g_started)
        return compat::E_DLL_INIT_FAILED;
    for (const auto& entry : kClassFactories) {
        if (entry.id == classId)
            return entry.factory->QueryInterface(id, object);
    }
    return compat::CLASS_E_CLASSNOTAVAILABLE;
}

MODULE_EXPORT HRESULT DllCanUnloadNow() {
    return compat::moduleCanUnload() ? compat::S_OK : compat::S_FALSE;
}

MODULE_EXPORT HRESULT DllRegisterServer() {
    return g_started ? RegisterAddon(moduleFile()) : compat::E_DLL_INIT_FAILED;
}

MODULE_EXPORT HRESULT DllUnregisterServer() {
    return g_started ? UnregisterAddon() : compat::E_DLL_INIT_FAILED;
}
