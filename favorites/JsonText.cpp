#include "favorites/JsonText.h"

namespace ovix::favorites {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Sequence {
    std::size_t length;
    bool valid;
};

// The UTF-8 sequence that starts `text` (not empty), led by a byte of 0x80
// or above: its length when valid, else the length of its longest valid
// start (at least 1), which is replaced as one.
Sequence multiByteSequence(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length;
    // The range of the second byte; later ones are 0x80 to 0xBF. These
    // ranges leave out overlong forms, surrogates and code points past
    // U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF))
            return {i, false};
    }
    return {length, true};
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    while (!text.empty()) {
        const char c = text.front();
        const auto byte = static_cast<unsigned char>(c);
        std::size_t taken = 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else if (byte < 0x80) {
                out += c;
            } else {
                const auto sequence = multiByteSequence(text);
                taken = sequence.length;
                out += sequence.valid ? text.substr(0, taken) : kReplacement;
            }
        }
        text.remove_prefix(taken);
    }
}

}  // namespace ovix::favorites
