#pragma once
// Integer arithmetic with defined results where the plain operators would be
// undefined: counts wrap as two's complement, doubles saturate.

#include <cmath>
#include <cstdint>
#include <limits>

namespace ovix {

inline int wrapAdd(int a, int b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline int wrapMul(int a, int b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Truncates toward zero; NaN gives 0 and values beyond the int range give its
// nearest end.
inline int saturatingToInt(double d) {
    if (std::isnan(d))
        return 0;
    if (d >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (d <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(d);
}

}  // namespace ovix
