#include "classifier/ClassifierLog.h"

#include <cstdint>

#include "compat/system/WorkingSet.h"

namespace ovix {

float ClassifierLog::elapsed() const {
    if (!m_start)
        return 0;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *m_start).count();
    return static_cast<float>(static_cast<double>(ms) / 1000.0);
}

std::string ClassifierLog::prefix() const {
    const auto bytes = static_cast<long long>(compat::workingSetBytes().value_or(0));
    return formatText("%6.2f|%5lld: ", elapsed(), bytes);
}

void ClassifierLog::write(std::string_view text) const {
    std::fwrite(text.data(), 1, text.size(), m_stream);
}

}  // namespace ovix
