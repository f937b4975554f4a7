#pragma once
// Feature ids: every feature (a stemmed word, or a short label) is named by 8
// bytes, the first 8 bytes of its MD5 digest or a short text padded with blanks.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ovix {

constexpr int FID_LEN = 8;

struct Fid {
    char m_fid[FID_LEN];  // any byte value, no terminator

    Fid() : m_fid{} {}
    // The first FID_LEN bytes of the text, padded with blanks.
    explicit Fid(std::string_view text);

    // The text form: the 8 bytes without their trailing blanks.
    std::string text() const;

    // The id read as an unsigned 64-bit little-endian number: the order of a
    // packed document vector.
    std::uint64_t asNumber() const {
        std::uint64_t n;
        std::memcpy(&n, m_fid, sizeof n);
        return n;
    }

    bool operator==(const Fid&) const = default;
};
static_assert(sizeof(Fid) == FID_LEN);

// One entry of a packed document vector or a document-vector file.
struct DocVecI {
    Fid fid;
    float weight;
};
static_assert(sizeof(DocVecI) == 12);

// Hash traits of Fid: the hash is the first 4 bytes as an unsigned 32-bit
// little-endian number; the order is memcmp's (bytes compared as unsigned).
// That order names every ordered map of ids; it is not the order of a packed
// document vector.
struct FidHash {
    static constexpr int bucket_size = 4;
    static constexpr int min_buckets = 8;

    unsigned long operator()(const Fid& f) const {
        const auto* b = reinterpret_cast<const unsigned char*>(f.m_fid);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    }
    // memcmp's order, as the ids read big-endian: two loads, no call.
    bool operator()(const Fid& a, const Fid& b) const { return bigEndian(a) < bigEndian(b); }

private:
    static std::uint64_t bigEndian(const Fid& f) {
        static_assert(std::endian::native == std::endian::little);
        return __builtin_bswap64(f.asNumber());
    }
};

}  // namespace ovix
