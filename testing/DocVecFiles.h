#pragma once
// Helpers of the document-vector file tests: expected file bytes spelled out
// field by field, beside the scratch folder and whole-file reads and writes of
// ScratchFolder.h.

#include <bit>
#include <cstdint>
#include <string>

#include "features/Fid.h"
#include "testing/ScratchFolder.h"

namespace ovix::testing {

// Little-endian fields, byte by byte.
class Bytes {
public:
    Bytes& i32(std::int32_t value) { return unsignedBytes(static_cast<std::uint32_t>(value), 4); }
    Bytes& u64(std::uint64_t value) { return unsignedBytes(value, 8); }
    Bytes& f32(float value) { return unsignedBytes(std::bit_cast<std::uint32_t>(value), 4); }
    Bytes& raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }
    const std::string& str() const { return m_bytes; }

private:
    Bytes& unsignedBytes(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i)
            m_bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        return *this;
    }

    std::string m_bytes;
};

// An entry whose id bytes are the little-endian bytes of `number`.
inline DocVecI entry(std::uint64_t number, float weight) {
    DocVecI e;
    for (int i = 0; i < FID_LEN; ++i)
        e.fid.m_fid[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    e.weight = weight;
    return e;
}

}  // namespace ovix::testing
