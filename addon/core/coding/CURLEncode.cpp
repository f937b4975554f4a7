#include "addon/core/coding/CURLEncode.h"

#include <array>

#include "base/Ascii.h"
#include "base/Utf8.h"

namespace ovix {

namespace {

constexpr std::string_view kReserved = "\"<>%\\^[]`+$,@:;/!#?=&";

constexpr std::array<bool, 256> reservedTable() {
    std::array<bool, 256> table{};
    for (char c : kReserved)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> kIsReserved = reservedTable();

}  // namespace

std::string CURLEncode::ToHex(unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

std::string CURLEncode::Encode(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (kIsReserved[byte] || byte < 33 || byte > 122)
            encoded += "%" + ToHex(byte);
        else
            encoded += c;
    }
    return encoded;
}

std::string CURLEncode::Decode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%' && i + 2 < text.size() && asciiHexValue(text[i + 1]) >= 0 &&
                   asciiHexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(asciiHexValue(text[i + 1]) * 16 + asciiHexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return repairUtf8(bytes);
}

}  // namespace ovix
