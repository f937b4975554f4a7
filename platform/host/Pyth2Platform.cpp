#include "platform/host/Pyth2Platform.h"

#include <stdexcept>

namespace ovix {

void Pyth2Platform::ThreadThrottleCpuPerc(int percentage) {
    if (percentage < 0 || percentage > 100)
        throw std::runtime_error("cpu perc must be between 0 and 100, inclusive");
    m_throttlePercentage = percentage;
}

}  // namespace ovix
