#pragma once
// The ascending order of sort keys that may be NaN: numbers by value, every
// NaN after all of them. Plain < is no strict weak order once a NaN is among
// the keys, and a sort given one may run past the ends of its range.

#include <cmath>

namespace ovix {

template <class T>
bool keyLess(T a, T b) {
    if (std::isnan(b))
        return !std::isnan(a);
    return a < b;
}

}  // namespace ovix
