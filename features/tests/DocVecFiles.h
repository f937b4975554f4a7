#pragma once
// Helpers of the document-vector file tests: a scratch folder, whole-file
// reads and writes, and expected file bytes spelled out field by field.

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "features/Fid.h"

namespace ovix::test {

// A new empty folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "docvec-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~ScratchFolder() { std::filesystem::remove_all(m_path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

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

}  // namespace ovix::test
