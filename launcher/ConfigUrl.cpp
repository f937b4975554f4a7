#include "launcher/ConfigUrl.h"

#include <string_view>

#include "base/FileText.h"

namespace ovix {

std::optional<std::string> readConfigUrl(const std::filesystem::path& file) {
    static constexpr std::string_view kKey = "ConfigUrl=";
    const auto text = ovix::readFileText(file);
    if (!text)
        return std::nullopt;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.starts_with(kKey))
            continue;
        const auto last = line.find_last_not_of(" \t\n\v\f\r");
        line = line.substr(0, last == std::string_view::npos ? 0 : last + 1);
        return std::string(line.size() > kKey.size() ? line.substr(kKey.size()) : std::string_view());
    }
    return std::nullopt;
}

}  // namespace ovix
