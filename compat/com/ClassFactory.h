#pragma once
// Makes the objects of one class for the module's callers. A module keeps
// its factories as static objects: counting a factory counts a use of the
// module, so a caller that holds one keeps the module loaded.

#include <new>

#include "compat/com/ComUnknown.h"
#include "compat/com/ModuleUsage.h"

namespace compat {

class ClassFactory : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000001-0000-0000-C000-000000000046}");

    // A new object's interface `id`; CLASS_E_NOAGGREGATION when `outer` is
    // given, E_NOINTERFACE when the object lacks `id`.
    virtual HRESULT CreateInstance(ComUnknown* outer, const Guid& id, void** object) = 0;
    // Holds (true) or frees (false) the module loaded.
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~ClassFactory() = default;
};

// The static factory of T, a ComObject made by `new T()`.
template <class T>
class ClassFactoryFor : public ClassFactory {
public:
    HRESULT QueryInterface(const Guid& id, void** object) override {
        if (!object)
            return E_POINTER;
        if (id != ComUnknown::kId && id != ClassFactory::kId) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<ClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override {
        moduleAddUse();
        return 2;
    }
    std::uint32_t Release() override {
        moduleReleaseUse();
        return 1;
    }
    HRESULT CreateInstance(ComUnknown* outer, const Guid& id, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* made = new (std::nothrow) T();
        if (!made)
            return E_OUTOFMEMORY;
        const HRESULT result = made->QueryInterface(id, object);
        made->Release();
        return result;
    }
    HRESULT LockServer(bool lock) override {
        lock ? moduleAddUse() : moduleReleaseUse();
        return S_OK;
    }

protected:
    ~ClassFactoryFor() = default;
};

}  // namespace compat
