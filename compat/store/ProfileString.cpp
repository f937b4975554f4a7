#include "compat/store/ProfileString.h"

#include "base/Ascii.h"
#include "base/FileText.h"

namespace compat {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string readProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::size_t maxBytes) {
    const auto text = ovix::readFileText(file, {.followLinks = true, .maxBytes = maxBytes});
    if (!text)
        return {};
    std::string_view rest = *text;
    bool inSection = false;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = trim(line);
        if (line.starts_with('[')) {
            const auto close = line.find(']');
            inSection =
                close != std::string_view::npos && ovix::asciiEqualNoCase(trim(line.substr(1, close - 1)), section);
            continue;
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string_view::npos ||
            !ovix::asciiEqualNoCase(trim(line.substr(0, equals)), key))
            continue;
        auto value = trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

}  // namespace compat
