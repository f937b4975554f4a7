#pragma once
// 128-bit identifiers of classes, interfaces, type libraries and categories,
// written as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/Ascii.h"

namespace compat {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Parses the braced form; throws std::invalid_argument on any other text
    // (a compile-time error in constant expressions).
    static constexpr Guid parse(std::string_view text);
    // The same, or nothing for any other text.
    static std::optional<Guid> tryParse(std::string_view text);

    // The braced form in upper case.
    std::string toString() const;

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
};

namespace detail {

constexpr std::uint64_t hexField(std::string_view text, std::size_t from, std::size_t digits) {
    std::uint64_t value = 0;
    for (std::size_t i = from; i < from + digits; ++i) {
        const int digit = ovix::asciiHexValue(text[i]);
        if (digit < 0)
            throw std::invalid_argument("not a braced identifier");
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return value;
}

}  // namespace detail

constexpr Guid Guid::parse(std::string_view text) {
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
        text[19] != '-' || text[24] != '-')
        throw std::invalid_argument("not a braced identifier");
    Guid id;
    id.data1 = static_cast<std::uint32_t>(detail::hexField(text, 1, 8));
    id.data2 = static_cast<std::uint16_t>(detail::hexField(text, 10, 4));
    id.data3 = static_cast<std::uint16_t>(detail::hexField(text, 15, 4));
    id.data4[0] = static_cast<std::uint8_t>(detail::hexField(text, 20, 2));
    id.data4[1] = static_cast<std::uint8_t>(detail::hexField(text, 22, 2));
    for (std::size_t i = 0; i < 6; ++i)
        id.data4[2 + i] = static_cast<std::uint8_t>(detail::hexField(text, 25 + 2 * i, 2));
    return id;
}

inline std::optional<Guid> Guid::tryParse(std::string_view text) {
    try {
        return parse(text);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

}  // namespace compat
