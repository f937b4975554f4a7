#include "features/Dvir.h"

#include <algorithm>

namespace ovix {

std::vector<DocVecI> DvirView::entries() const {
    std::vector<DocVecI> out(size());
    if (!out.empty())
        std::memcpy(out.data(), m_bytes.data(), out.size() * kDvirEntrySize);
    return out;
}

void dvirSortById(std::span<DocVecI> entries) {
    // A lambda, not the function's address, so that the comparison inlines.
    std::sort(entries.begin(), entries.end(), [](const DocVecI& a, const DocVecI& b) { return dvirIdLess(a, b); });
}

std::string dvir2String(DvirView v) {
    return "flen " + std::to_string(v.size());
}

std::optional<std::vector<unsigned char>> dvirFixTrailingWhitespace(std::span<const unsigned char> bytes, int n) {
    if (n <= 0 || DvirView(bytes).size() >= static_cast<size_t>(n))
        return std::nullopt;
    std::vector<unsigned char> padded(static_cast<size_t>(n) * kDvirEntrySize, ' ');
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    return padded;
}

std::optional<std::vector<DocVecI>> dvirChangeEndian(DvirView v, DvirEndian from, DvirEndian to) {
    const auto asStored = [](DvirEndian e) { return e == DVIR_ENDIAN_NATIVE ? DVIR_ENDIAN_LITTLE : e; };
    if (asStored(from) == asStored(to))
        return std::nullopt;
    std::vector<DocVecI> entries = v.entries();
    dvirSortById(entries);
    for (DocVecI& e : entries) {
        // On the bits: a weight in the other order may read as a signalling
        // not-a-number, which a trip through a float register could change.
        std::uint32_t bits;
        std::memcpy(&bits, &e.weight, sizeof bits);
        bits = __builtin_bswap32(bits);
        std::memcpy(&e.weight, &bits, sizeof bits);
    }
    return entries;
}

}  // namespace ovix
