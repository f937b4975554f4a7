#pragma once
// Packed vectors for tests, built from (id, weight) pairs.

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "features/Dvir.h"

namespace ovix::testing {

using Bytes = std::vector<unsigned char>;

// An entry whose id is the unsigned 64-bit little-endian number `id`.
inline DocVecI entry(std::uint64_t id, float weight) {
    DocVecI e;
    std::memcpy(e.fid.m_fid, &id, FID_LEN);
    e.weight = weight;
    return e;
}

inline Bytes pack(const std::vector<DocVecI>& entries) {
    Bytes bytes(entries.size() * kDvirEntrySize);
    if (!entries.empty())
        std::memcpy(bytes.data(), entries.data(), bytes.size());
    return bytes;
}

inline Bytes pack(const std::vector<std::pair<std::uint64_t, float>>& pairs) {
    std::vector<DocVecI> entries;
    for (const auto& [id, weight] : pairs)
        entries.push_back(entry(id, weight));
    return pack(entries);
}

inline std::vector<std::pair<std::uint64_t, float>> pairsOf(const std::vector<DocVecI>& entries) {
    std::vector<std::pair<std::uint64_t, float>> pairs;
    for (const DocVecI& e : entries)
        pairs.emplace_back(e.fid.asNumber(), e.weight);
    return pairs;
}

}  // namespace ovix::testing
