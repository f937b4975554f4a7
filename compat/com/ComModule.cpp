#include "compat/com/ComModule.h"

#include <dlfcn.h>

#include <stdexcept>

namespace compat {

namespace {

template <class Entry>
Entry entryPoint(void* handle, const char* name, const std::filesystem::path& file) {
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        dlclose(handle);
        throw std::runtime_error(file.string() + " does not export " + name);
    }
    return reinterpret_cast<Entry>(symbol);
}

}  // namespace

ComModule::ComModule(const std::filesystem::path& file) {
    m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* reason = dlerror();
        throw std::runtime_error("cannot load " + file.string() + ": " + (reason ? reason : "unknown error"));
    }
    m_getClassObject = entryPoint<GetClassObjectEntry>(m_handle, "DllGetClassObject", file);
    m_canUnloadNow = entryPoint<CanUnloadNowEntry>(m_handle, "DllCanUnloadNow", file);
    m_registerServer = entryPoint<RegisterServerEntry>(m_handle, "DllRegisterServer", file);
    m_unregisterServer = entryPoint<RegisterServerEntry>(m_handle, "DllUnregisterServer", file);
}

ComModule::~ComModule() {
    dlclose(m_handle);
}

HRESULT ComModule::getClassObject(const Guid& classId, const Guid& id, void** object) const {
    return m_getClassObject(classId, id, object);
}

HRESULT ComModule::canUnloadNow() const {
    return m_canUnloadNow();
}

HRESULT ComModule::registerServer() const {
    return m_registerServer();
}

HRESULT ComModule::unregisterServer() const {
    return m_unregisterServer();
}

}  // namespace compat
