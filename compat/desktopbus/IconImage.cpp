#include "compat/desktopbus/IconImage.h"

namespace compat {

std::vector<std::uint8_t> pixmapBytes(const IconImage& image) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(image.argb.size() * 4);
    for (const std::uint32_t pixel : image.argb) {
        for (const int shift : {24, 16, 8, 0})
            bytes.push_back(static_cast<std::uint8_t>(pixel >> shift));
    }
    return bytes;
}

}  // namespace compat
