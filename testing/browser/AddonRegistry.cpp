#include "testing/browser/AddonRegistry.h"

#include <stdexcept>

#include "compat/com/ComRegistration.h"
#include "compat/store/RegistryKey.h"

namespace compat::testing {

namespace {

std::vector<Guid> classIds(const std::vector<std::string>& names) {
    std::vector<Guid> ids;
    for (const auto& name : names) {
        if (const auto id = Guid::tryParse(name))
            ids.push_back(*id);
    }
    return ids;
}

}  // namespace

std::vector<Guid> registeredHelperObjects() {
    const auto key = RegistryKey::open(RegistryHive::LocalMachine, kHelperObjectsKey);
    return key ? classIds(key->subkeyNames()) : std::vector<Guid>{};
}

std::vector<Guid> registeredToolbars() {
    const auto key = RegistryKey::open(RegistryHive::LocalMachine, kToolbarsKey);
    return key ? classIds(key->valueNames()) : std::vector<Guid>{};
}

ComPtr<ComUnknown> AddonModules::create(const Guid& classId, std::string& error) {
    const auto server =
        RegistryKey::open(kClassesHive, classesPath("CLSID\\" + classId.toString() + "\\InprocServer32"));
    const auto value = server ? server->query("") : std::nullopt;
    if (!value) {
        error = "class not registered";
        return {};
    }
    std::string path = value->data;
    if (const auto end = path.find('\0'); end != std::string::npos)
        path.resize(end);
    auto& module = m_modules[path];
    if (!module) {
        try {
            module = std::make_unique<ComModule>(path);
        } catch (const std::runtime_error& failure) {
            m_modules.erase(path);
            error = failure.what();
            return {};
        }
    }
    HRESULT result = E_FAIL;
    auto object = module->create<ComUnknown>(classId, result);
    if (!object)
        error = "no object: " + std::to_string(result);
    return object;
}

}  // namespace compat::testing
