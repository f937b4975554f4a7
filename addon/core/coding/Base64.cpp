#include "addon/core/coding/Base64.h"

#include <array>
#include <cstdint>

#include "base/Utf8.h"

namespace ovix {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kGroupsPerLine = 19;

constexpr std::array<int, 256> valueTable() {
    std::array<int, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
    return table;
}

constexpr std::array<int, 256> kValueOf = valueTable();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() / 3 * 4 + bytes.size() / 57 * 2 + 4);
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::size_t fullGroups = bytes.size() / 3;
    for (std::size_t group = 0; group < fullGroups; ++group) {
        const std::uint32_t bits = byte(3 * group) << 16 | byte(3 * group + 1) << 8 | byte(3 * group + 2);
        for (int shift = 18; shift >= 0; shift -= 6)
            text += kAlphabet[(bits >> shift) & 63];
        if ((group + 1) % kGroupsPerLine == 0)
            text += "\r\n";
    }
    const std::size_t rest = bytes.size() - 3 * fullGroups;
    if (rest > 0) {
        std::uint32_t bits = byte(3 * fullGroups) << 16;
        if (rest == 2)
            bits |= byte(3 * fullGroups + 1) << 8;
        text += kAlphabet[(bits >> 18) & 63];
        text += kAlphabet[(bits >> 12) & 63];
        text += rest == 2 ? kAlphabet[(bits >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::string Base64Decode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const int value = kValueOf[static_cast<unsigned char>(c)];
        if (value < 0)
            continue;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            bytes += static_cast<char>(bits >> 16);
            bytes += static_cast<char>(bits >> 8);
            bytes += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count >= 2)
        bytes += static_cast<char>(bits >> (6 * count - 8));
    if (count == 3)
        bytes += static_cast<char>(bits >> 2);
    return bytes;
}

std::string Base64FromText(std::string_view text) {
    return Base64Encode(repairUtf8(text));
}

std::string TextFromBase64(std::string_view base64) {
    return repairUtf8(Base64Decode(base64));
}

}  // namespace ovix
