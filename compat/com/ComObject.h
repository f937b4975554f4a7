#pragma once
// A reference-counted object that serves the interfaces it derives from.
// It is made with a count of one that belongs to its maker, and is deleted
// by the Release that takes the count to zero. While it lives it counts as a
// use of its module.

#include <atomic>

#include "compat/com/ComUnknown.h"
#include "compat/com/ModuleUsage.h"

namespace compat {

template <class First, class... Others>
class ComObject : public First, public Others... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(const Guid& id, void** object) override {
        if (!object)
            return E_POINTER;
        *object = findInterface(id);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return m_count.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Release() override {
        const std::uint32_t count = m_count.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    ComObject() { moduleAddUse(); }
    virtual ~ComObject() { moduleReleaseUse(); }

    // The uncounted interface `id`, or null. Objects that answer to more
    // identifiers extend this.
    virtual void* findInterface(const Guid& id) {
        if (id == ComUnknown::kId || id == First::kId)
            return static_cast<First*>(this);
        void* found = nullptr;
        static_cast<void>(((id == Others::kId && (found = static_cast<Others*>(this))) || ...));
        return found;
    }

private:
    std::atomic<std::uint32_t> m_count{1};
};

}  // namespace compat
