#include "base/Utf8.h"

namespace ovix {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Range {
    unsigned char low, high;
};

// How many bytes follow `lead` in a well-formed sequence, and the range of the
// first of them (the others are always 80..BF); 0 for a byte that cannot lead.
int trailOf(unsigned char lead, Range& first) {
    first = {0x80, 0xBF};
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0)
            first = {0xA0, 0xBF};
        else if (lead == 0xED)
            first = {0x80, 0x9F};
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0)
            first = {0x90, 0xBF};
        else if (lead == 0xF4)
            first = {0x80, 0x8F};
        return 3;
    }
    return 0;
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += static_cast<char>(lead);
            ++i;
            continue;
        }
        Range range;
        const int trail = trailOf(lead, range);
        std::size_t end = i + 1;
        for (int k = 0; k < trail && end < bytes.size(); ++k, ++end) {
            const auto next = static_cast<unsigned char>(bytes[end]);
            if (next < range.low || next > range.high)
                break;
            range = {0x80, 0xBF};
        }
        if (trail > 0 && end == i + 1 + static_cast<std::size_t>(trail))
            text.append(bytes.substr(i, end - i));
        else
            text += kReplacement;
        i = end;
    }
    return text;
}

void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8FromUtf16(std::u16string_view units) {
    std::string text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool pairs = high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
        if (pairs)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        appendUtf8(text, c);
    }
    return text;
}

}  // namespace ovix
