#include "features/ShortKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// The layout stated plainly: the bytes zero-filled to 15, the length in byte 15.
ovix::ShortKey plainKey(const std::string& text) {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, text.data(), text.size());
    bytes[15] = static_cast<unsigned char>(text.size());
    ovix::ShortKey key;
    std::memcpy(&key.head, bytes, 8);
    std::memcpy(&key.tail, bytes + 8, 8);
    return key;
}

// Packs a copy held in a buffer of exactly the text's size, so that a read
// past its end is caught by the sanitizers.
ovix::ShortKey packed(const std::string& text) {
    std::vector<char> exact(text.begin(), text.end());
    return ovix::ShortKey::of(std::string_view(exact.data(), exact.size()));
}

TEST(ShortKey, PacksEveryLengthAsTheBytesAndTheLength) {
    std::mt19937 random(3);
    const char alphabet[] = {'a', 'z', '\0', '\x01', '\x7f', '\x80', '\xff'};
    for (std::size_t length = 0; length <= ovix::ShortKey::kLongest; ++length) {
        for (int round = 0; round < 300; ++round) {
            std::string text(length, ' ');
            for (char& c : text)
                c = alphabet[random() % sizeof alphabet];
            ASSERT_EQ(packed(text), plainKey(text)) << length;
        }
    }
}

TEST(ShortKey, TextsThatDifferOnlyInTrailingZerosOrLengthDiffer) {
    std::set<std::pair<std::uint64_t, std::uint64_t>> keys;
    std::string text;
    for (std::size_t length = 0; length <= ovix::ShortKey::kLongest; ++length, text.push_back('\0')) {
        const ovix::ShortKey key = packed(text);
        EXPECT_EQ(key.empty(), length == 0);
        keys.emplace(key.head, key.tail);
    }
    EXPECT_EQ(keys.size(), ovix::ShortKey::kLongest + 1);
}

// The most keys that share a slot of `bits` bits.
int worstSlotLoad(const std::vector<ovix::ShortKey>& keys, unsigned bits) {
    std::vector<int> load(std::size_t{1} << bits);
    int worst = 0;
    for (const ovix::ShortKey& key : keys)
        worst = std::max(worst, ++load[key.slot(bits)]);
    return worst;
}

TEST(ShortKey, SlotsSpreadKeysThatDifferInAnyPart) {
    // 2000 keys over 2048 slots; a poor mix would pile them up.
    std::vector<ovix::ShortKey> prefixes, suffixes, lengths, flagged;
    for (int i = 0; i < 2000; ++i) {
        prefixes.push_back(packed(std::to_string(i * 7919)));
        suffixes.push_back(packed("commonly" + std::to_string(i)));  // the same first 8 bytes
        ovix::ShortKey key = packed(std::string(i % 16, 'a'));
        key.head ^= static_cast<std::uint64_t>(i / 16);  // 125 heads, each with 16 lengths
        lengths.push_back(key);
        key.tail |= std::uint64_t{1} << 63;  // a flag above the length, as tables may add
        flagged.push_back(key);
        flagged.push_back(lengths.back());
    }
    for (const auto& keys : {prefixes, suffixes, lengths})
        EXPECT_LE(worstSlotLoad(keys, 11), 8);
    EXPECT_LE(worstSlotLoad(flagged, 12), 8);
}

}  // namespace
