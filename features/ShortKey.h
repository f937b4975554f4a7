#pragma once
// A text of up to 15 bytes packed with its length into two 64-bit words, so
// that tables of short texts (the stop words, the token-id cache) compare and
// hash them without loops or calls.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ovix {

struct ShortKey {
    static constexpr std::size_t kLongest = 15;

    std::uint64_t head;  // bytes 0-7 of the text, little-endian, zero-filled
    std::uint64_t tail;  // bytes 8-14, then the length in the top byte

    // text.size() <= kLongest. Reads only the text's own bytes, in at most
    // three loads, by letting the loads overlap.
    static ShortKey of(std::string_view text) {
        const char* p = text.data();
        const std::size_t n = text.size();
        ShortKey key{0, static_cast<std::uint64_t>(n) << 56};
        if (n >= 8) {
            key.head = load<std::uint64_t>(p);
            if (n > 8)
                key.tail |= load<std::uint64_t>(p + n - 8) >> (8 * (16 - n));
        } else if (n >= 4) {
            key.head = load<std::uint32_t>(p) | std::uint64_t{load<std::uint32_t>(p + n - 4)} << (8 * (n - 4));
        } else if (n > 0) {
            key.head = std::uint64_t{byte(p[0])} | std::uint64_t{byte(p[n / 2])} << (8 * (n / 2)) |
                       std::uint64_t{byte(p[n - 1])} << (8 * (n - 1));
        }
        return key;
    }

    // The key of the empty text is all zero: tables use it to mark a free slot.
    bool empty() const { return head == 0 && tail == 0; }

    // A slot number of `bits` bits, 1 to 64: every bit of the key reaches
    // the high bits of the product, which are the ones taken.
    std::size_t slot(unsigned bits) const {
        const std::uint64_t mixed = (head ^ tail * 0xC2B2AE3D27D4EB4Fu) * 0x9E3779B97F4A7C15u;
        return static_cast<std::size_t>(mixed >> (64 - bits));
    }

    bool operator==(const ShortKey&) const = default;

private:
    template <class Word>
    static Word load(const char* p) {
        Word w;
        std::memcpy(&w, p, sizeof w);
        return w;
    }
    static std::uint64_t byte(char c) { return static_cast<unsigned char>(c); }
};

}  // namespace ovix
