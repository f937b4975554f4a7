#include "launcher/LauncherIcons.h"

#include <cmath>
#include <cstdint>

#include "launcher/LauncherResources.h"

namespace ovix {

namespace {

struct Colour {
    double red, green, blue;  // 0 to 1
};

constexpr Colour kWhite{1.0, 1.0, 1.0};
constexpr Colour kOnline{0.18, 0.62, 0.31};
constexpr Colour kStarting{0.55, 0.58, 0.62};
constexpr Colour kBadge{0.95, 0.55, 0.16};
// Samples per pixel along each axis, for smooth edges.
constexpr int kSamples = 4;

struct Sample {
    bool covered = false;
    Colour colour{};
};

// The picture at a point of the unit square (0 to 1 across and down).
Sample paint(double x, double y, const Colour& body, bool badge) {
    const auto distance = [&](double cx, double cy) { return std::hypot(x - cx, y - cy); };
    Sample sample;
    if (badge && distance(0.76, 0.24) <= 0.24) {
        sample = {true, distance(0.76, 0.24) <= 0.18 ? kBadge : kWhite};
        return sample;
    }
    const double fromCentre = distance(0.5, 0.5);
    if (fromCentre <= 0.46)
        sample = {true, fromCentre >= 0.15 && fromCentre <= 0.26 ? kWhite : body};
    return sample;
}

compat::IconImage draw(int size, const Colour& body, bool badge) {
    compat::IconImage image{size, size, {}};
    image.argb.reserve(static_cast<std::size_t>(size) * size);
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            double alpha = 0, red = 0, green = 0, blue = 0;
            for (int i = 0; i < kSamples; ++i) {
                for (int j = 0; j < kSamples; ++j) {
                    const Sample sample = paint((column + (j + 0.5) / kSamples) / size,
                                                (row + (i + 0.5) / kSamples) / size, body, badge);
                    if (!sample.covered)
                        continue;
                    alpha += 1;
                    red += sample.colour.red;
                    green += sample.colour.green;
                    blue += sample.colour.blue;
                }
            }
            // Colours averaged over the covered samples, not darkened by the
            // uncovered ones: the alpha says how much shows.
            const auto channel = [&](double sum) {
                return alpha == 0 ? 0u : static_cast<std::uint32_t>(std::lround(255 * sum / alpha));
            };
            const auto opacity = static_cast<std::uint32_t>(std::lround(255 * alpha / (kSamples * kSamples)));
            image.argb.push_back(opacity << 24 | channel(red) << 16 | channel(green) << 8 | channel(blue));
        }
    }
    return image;
}

}  // namespace

std::vector<compat::IconImage> launcherIconImages(unsigned resource) {
    if (resource != IDI_ONLINE && resource != IDI_STARTING && resource != IDI_NEW_MESSAGES)
        return {};
    const Colour& body = resource == IDI_STARTING ? kStarting : kOnline;
    std::vector<compat::IconImage> images;
    for (const int size : kIconSizes)
        images.push_back(draw(size, body, resource == IDI_NEW_MESSAGES));
    return images;
}

}  // namespace ovix
