#pragma once
// A packed vector for the sink tests: bytes that count how often they were
// held and released, and can sit at any alignment.

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "features/HeldBytes.h"

namespace ovix::testing {

class HeldVector {
public:
    // The entries' bytes, `offset` bytes into their storage, then `tail` more bytes.
    explicit HeldVector(const std::vector<DocVecI>& entries, size_t offset = 0, size_t tail = 0)
        : m_storage(offset + entries.size() * sizeof(DocVecI) + tail, 0xAB), m_offset(offset) {
        if (!entries.empty())
            std::memcpy(m_storage.data() + offset, entries.data(), entries.size() * sizeof(DocVecI));
    }

    std::span<const unsigned char> bytes() const { return std::span(m_storage).subspan(m_offset); }
    int held() const { return m_held; }
    int released() const { return m_released; }

    // What a sink is handed: holds these bytes.
    HoldBytes hold() {
        return [this] {
            ++m_held;
            return std::make_unique<Held>(*this);
        };
    }

private:
    class Held : public HeldBytes {
    public:
        explicit Held(HeldVector& vector) : m_vector(vector) {}
        ~Held() override { ++m_vector.m_released; }
        std::span<const unsigned char> bytes() const override { return m_vector.bytes(); }

    private:
        HeldVector& m_vector;
    };

    std::vector<unsigned char> m_storage;
    size_t m_offset;
    int m_held = 0;
    int m_released = 0;
};

// A hand-over of something that holds no bytes.
inline HoldBytes notABuffer() {
    return []() -> std::unique_ptr<HeldBytes> { throw std::runtime_error("Need a buffer"); };
}

}  // namespace ovix::testing
