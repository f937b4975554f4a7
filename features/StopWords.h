#pragma once
// The stop words: English words that the tokenizer of FeatureDict drops, and
// the process-wide set it looks them up in. The set is built once, on first
// use, and never changes; it may be read from any thread.

#include <array>
#include <cstddef>
#include <string_view>

#include "features/ShortKey.h"

namespace ovix {

// 524 lower-case words of 1 to 13 letters, one of them twice.
extern const std::array<std::string_view, 524> stopWordList;

// An exact-match set of the words of stopWordList: an open-addressing table
// of packed keys, so a lookup costs one hash and usually one comparison of
// two 64-bit words.
class StopWordSet {
public:
    // The set, built from stopWordList on the first call.
    static const StopWordSet& instance();

    bool contains(std::string_view word) const {
        if (word.size() > ShortKey::kLongest)
            return false;
        const ShortKey key = ShortKey::of(word);
        for (std::size_t slot = key.slot(kSlotBits);; slot = (slot + 1) % kSlots) {
            if (m_slots[slot].empty())
                return false;
            if (m_slots[slot] == key)
                return true;
        }
    }

    // Distinct words held.
    std::size_t size() const { return m_size; }

private:
    static constexpr unsigned kSlotBits = 11;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;

    StopWordSet();

    std::array<ShortKey, kSlots> m_slots{};
    std::size_t m_size = 0;
};

}  // namespace ovix
