#pragma once
// Holds one counted reference to an interface and releases it when done.

#include <utility>

#include "compat/com/ComUnknown.h"

namespace compat {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already counted.
    static ComPtr adopt(T* raw) {
        ComPtr held;
        held.m_raw = raw;
        return held;
    }
    // Takes a reference of its own to `raw`.
    static ComPtr share(T* raw) {
        if (raw)
            raw->AddRef();
        return adopt(raw);
    }
    ComPtr(const ComPtr& other) : m_raw(other.m_raw) {
        if (m_raw)
            m_raw->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_raw(std::exchange(other.m_raw, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_raw, other.m_raw);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (T* raw = std::exchange(m_raw, nullptr))
            raw->Release();
    }
    T* get() const { return m_raw; }
    T* operator->() const { return m_raw; }
    explicit operator bool() const { return m_raw != nullptr; }

    // Where an out-parameter stores a counted reference; drops the held one.
    T** put() {
        reset();
        return &m_raw;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // The interface I of the held object; empty when it has none.
    template <class I>
    ComPtr<I> as() const {
        ComPtr<I> other;
        // A failed lookup leaves `other` empty, which says it.
        if (m_raw)
            static_cast<void>(m_raw->QueryInterface(I::kId, other.putVoid()));
        return other;
    }

private:
    T* m_raw = nullptr;
};

}  // namespace compat
