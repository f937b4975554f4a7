#pragma once
// An icon's picture at one size, and its bytes as the desktop's pixmaps carry
// them.

#include <cstdint>
#include <vector>

namespace compat {

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // width * height pixels, row by row from the top left; alpha in the top byte

    bool operator==(const IconImage&) const = default;
};

// The pixels as ARGB32 in network byte order: A, R, G, B bytes of each pixel.
std::vector<std::uint8_t> pixmapBytes(const IconImage& image);

}  // namespace compat
