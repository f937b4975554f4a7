#include "compat/system/ExpandEnvironment.h"

#include <cstdlib>

namespace compat {

std::string expandEnvironment(std::string_view text) {
    std::string expanded;
    while (!text.empty()) {
        const auto open = text.find('%');
        const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            expanded += text;
            break;
        }
        expanded += text.substr(0, open);
        const std::string name(text.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            expanded += value;
            text.remove_prefix(close + 1);
        } else {
            // The closing "%" may open the next reference.
            expanded += text.substr(open, close - open);
            text.remove_prefix(close);
        }
    }
    return expanded;
}

}  // namespace compat
