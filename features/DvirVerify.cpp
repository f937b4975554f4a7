#include "features/DvirVerify.h"

#include <cmath>
#include <stdexcept>

namespace ovix {

void dvirVerify(DvirView v) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (i > 0 && v.id(i) <= v.id(i - 1))
            throw std::runtime_error("fids are not ascending");
        const float w = v.weight(i);
        if (std::isnan(w))
            throw std::runtime_error("weight is nan");
        if (w <= 0.0f)
            throw std::runtime_error("weight is negative");
        if (w > 100000.0f)
            throw std::runtime_error("weight is too large");
        if (w >= 1.0f && std::floor(w) != std::ceil(w))
            throw std::runtime_error("weight is greater than 1.0 and not an integer");
    }
}

}  // namespace ovix
