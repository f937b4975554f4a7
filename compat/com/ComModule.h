#pragma once
// A component module loaded the way a host loads one: the shared library is
// opened with dlopen and used only through its exported entry points.

#include <filesystem>
#include <string>

#include "compat/com/ClassFactory.h"
#include "compat/com/ComExports.h"
#include "compat/com/ComPtr.h"

namespace compat {

class ComModule {
public:
    // Throws std::runtime_error naming the file when it cannot be loaded or
    // lacks one of the four entry points.
    explicit ComModule(const std::filesystem::path& file);
    ~ComModule();
    ComModule(const ComModule&) = delete;
    ComModule& operator=(const ComModule&) = delete;

    HRESULT getClassObject(const Guid& classId, const Guid& id, void** object) const;
    HRESULT canUnloadNow() const;
    HRESULT registerServer() const;
    HRESULT unregisterServer() const;

    // A new object of class `classId` as interface I, made through the class
    // factory as a host does; empty, with `result` set, on failure.
    template <class I>
    ComPtr<I> create(const Guid& classId, HRESULT& result) const {
        ComPtr<ClassFactory> factory;
        result = getClassObject(classId, ClassFactory::kId, factory.putVoid());
        ComPtr<I> object;
        if (succeeded(result))
            result = factory->CreateInstance(nullptr, I::kId, object.putVoid());
        return object;
    }

private:
    void* m_handle = nullptr;
    GetClassObjectEntry m_getClassObject = nullptr;
    CanUnloadNowEntry m_canUnloadNow = nullptr;
    RegisterServerEntry m_registerServer = nullptr;
    RegisterServerEntry m_unregisterServer = nullptr;
};

}  // namespace compat
