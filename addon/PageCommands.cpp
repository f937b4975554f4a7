#include "addon/PageCommands.h"

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

}  // namespace ovix
