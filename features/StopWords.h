#pragma once
// The stop words: English words that the tokenizer of FeatureDict drops, and
// the process-wide set it looks them up in. The set is built once, on first
// use, and never changes; it may be read from any thread.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

// 524 lower-case words of 1 to 13 letters, one of them twice.
extern const std::array<std::string_view, 524> stopWordList;

namespace ovix {

// An exact-match set of the words of stopWordList: an open-addressing table
// keyed by the word's bytes and length, so a lookup costs one hash and
// usually one comparison of two 64-bit words.
class StopWordSet {
public:
    // The set, built from stopWordList on the first call.
    static const StopWordSet& instance();

    bool contains(std::string_view word) const {
        if (word.size() > kLongestKey)
            return false;
        const Key key = keyOf(word);
        for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot].empty())
                return false;
            if (m_slots[slot] == key)
                return true;
        }
    }

    // Distinct words held.
    std::size_t size() const { return m_size; }

private:
    // Bytes 0-14 of the word, zero-filled, and its length in byte 15.
    struct Key {
        std::uint64_t head;
        std::uint64_t tail;
        bool empty() const { return tail == 0; }
        bool operator==(const Key&) const = default;
    };
    static constexpr std::size_t kLongestKey = 15;
    static constexpr unsigned kSlotBits = 11;

    StopWordSet();

    // word.size() <= kLongestKey.
    static Key keyOf(std::string_view word) {
        Key key{};
        std::memcpy(&key, word.data(), word.size());
        key.tail |= static_cast<std::uint64_t>(word.size()) << 56;
        return key;
    }
    static std::size_t slotOf(const Key& key) {
        const std::uint64_t mixed = key.head * 0x9E3779B97F4A7C15u ^ std::rotl(key.tail * 0xC2B2AE3D27D4EB4Fu, 31);
        return static_cast<std::size_t>(mixed >> (64 - kSlotBits));
    }

    std::vector<Key> m_slots;
    std::size_t m_size = 0;
};

}  // namespace ovix
