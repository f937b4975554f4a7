#pragma once
// Packed document vectors ("dvir"): a plain byte buffer of 12-byte entries
// (DocVecI: 8 id bytes, then a 32-bit float weight), no header. Bytes past the
// last whole entry are ignored. Entries are sorted by the id read as an
// unsigned 64-bit little-endian number. Every function here is pure and may be
// called from any thread.

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "features/Fid.h"

namespace ovix {

// Weights and ids are read in the machine's order, which the format fixes as
// little-endian.
static_assert(std::endian::native == std::endian::little);

// The byte order of the weights. Every int value is a valid code: codes the
// module does not name are passed on as they are.
enum DvirEndian : int {
    DVIR_ENDIAN_LITTLE = 0,
    DVIR_ENDIAN_BIG = 1,
    DVIR_ENDIAN_NATIVE = 2,  // the machine's order, little-endian
};

constexpr size_t kDvirEntrySize = sizeof(DocVecI);

// A read-only view of a packed vector's bytes, which need not be aligned.
class DvirView {
public:
    DvirView() = default;
    explicit DvirView(std::span<const unsigned char> bytes) : m_bytes(bytes) {}

    // The number of whole entries.
    size_t size() const { return m_bytes.size() / kDvirEntrySize; }

    std::uint64_t id(size_t i) const {
        std::uint64_t id;
        std::memcpy(&id, entryAt(i), sizeof id);
        return id;
    }
    Fid fid(size_t i) const {
        Fid fid;
        std::memcpy(fid.m_fid, entryAt(i), FID_LEN);
        return fid;
    }
    float weight(size_t i) const {
        float w;
        std::memcpy(&w, entryAt(i) + FID_LEN, sizeof w);
        return w;
    }
    // A copy of the whole entries, in buffer order.
    std::vector<DocVecI> entries() const;

private:
    const unsigned char* entryAt(size_t i) const { return m_bytes.data() + i * kDvirEntrySize; }

    std::span<const unsigned char> m_bytes;
};

// The order of a packed vector: ids as unsigned 64-bit little-endian numbers.
inline bool dvirIdLess(const DocVecI& a, const DocVecI& b) {
    return a.fid.asNumber() < b.fid.asNumber();
}

// Heavier weights first. A not-a-number weight orders after every number, so
// that the order stays strict and weak whatever the weights are.
inline bool dvirWeightGreater(const DocVecI& a, const DocVecI& b) {
    if (a.weight != a.weight)
        return false;
    return b.weight != b.weight || a.weight > b.weight;
}

// Sorts by id; entries with equal ids keep no defined order.
void dvirSortById(std::span<DocVecI> entries);

// "flen N" with N the number of entries.
std::string dvir2String(DvirView v);

// The bytes followed by blanks (0x20) up to n entries when they hold fewer
// than n whole entries; nothing when they hold n or more.
std::optional<std::vector<unsigned char>> dvirFixTrailingWhitespace(std::span<const unsigned char> bytes, int n);

// DVIR_ENDIAN_NATIVE counts as DVIR_ENDIAN_LITTLE. Equal codes give nothing:
// the vector stands as it is. Otherwise the whole entries sorted by id, with
// the 4 bytes of each weight reversed.
std::optional<std::vector<DocVecI>> dvirChangeEndian(DvirView v, DvirEndian from, DvirEndian to);

}  // namespace ovix
