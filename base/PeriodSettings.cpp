#include "base/PeriodSettings.h"

#include <charconv>
#include <cstdlib>

namespace ovix {

std::chrono::milliseconds periodSetting(std::string_view name, std::chrono::milliseconds standard) {
    const char* text = std::getenv("OVIX_PERIODS");
    std::string_view rest = text ? text : "";
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto equals = item.find('=');
        if (equals == std::string_view::npos || item.substr(0, equals) != name)
            continue;
        const std::string_view value = item.substr(equals + 1);
        std::chrono::milliseconds::rep milliseconds = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), milliseconds);
        if (error == std::errc() && end == value.data() + value.size() && milliseconds >= 0)
            return std::chrono::milliseconds(milliseconds);
    }
    return standard;
}

}  // namespace ovix
