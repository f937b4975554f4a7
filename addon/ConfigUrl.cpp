#include "addon/ConfigUrl.h"

#include <fstream>
#include <string_view>

std::optional<std::string> readConfigUrl(const std::filesystem::path& file) {
    static constexpr std::string_view kKey = "ConfigUrl=";
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, kKey.size(), kKey) != 0)
            continue;
        const auto last = line.find_last_not_of(" \t\n\v\f\r");
        line.resize(last == std::string::npos ? 0 : last + 1);
        return line.size() > kKey.size() ? line.substr(kKey.size()) : std::string();
    }
    return std::nullopt;
}
