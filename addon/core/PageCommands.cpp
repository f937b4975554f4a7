#include "addon/core/PageCommands.h"

#include <string>

namespace ovix {

bool IsPageCommand(std::string_view url) {
    return url.starts_with(kCommandScheme);
}

int ParseFlagParam(std::string_view url, std::string_view key) {
    const std::string flag(key);
    if (url.find(flag + "=1") != std::string_view::npos)
        return 1;
    return url.find(flag + "=0") != std::string_view::npos ? -1 : 0;
}

std::optional<std::vector<std::string_view>> CommandArguments(std::string_view url, std::string_view opening,
                                                              std::size_t count) {
    std::size_t from = url.find(opening);
    if (from == std::string_view::npos)
        return std::nullopt;
    from += opening.size();
    std::vector<std::string_view> arguments;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = url.find(i + 1 < count ? ',' : ')', from);
        if (end == std::string_view::npos)
            return std::nullopt;
        arguments.push_back(url.substr(from, end - from));
        from = end + 1;
    }
    return arguments;
}

}  // namespace ovix
