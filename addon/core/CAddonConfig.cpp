#include "addon/core/CAddonConfig.h"

#include <iterator>

#include "base/FileText.h"
#include "compat/system/ModulePath.h"

namespace ovix {

namespace {

constexpr const char* kFileName = "vantile.config";

}  // namespace

int CAddonConfig::Load() {
    static const int anchor = 0;
    return Load(compat::modulePath(&anchor).parent_path());
}

int CAddonConfig::Load(const std::filesystem::path& folder) {
    const auto bytes = ovix::readFileText(folder / kFileName);
    if (!bytes)
        return 0;
    // The text ends at its first zero byte.
    ParseText(std::string_view(*bytes).substr(0, bytes->find('\0')));
    return 1;
}

void CAddonConfig::ParseText(std::string_view text) {
    for (auto end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        auto line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ParseLine(line);
        text.remove_prefix(end + 1);
    }
    ParseLine(text);
}

void CAddonConfig::ParseLine(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    const auto key = line.substr(0, equals);
    const auto value = line.substr(equals + 1);
    std::string* const fields[] = {&HomepageUrl,  &SidebarUrl,       &InterestUrl, &TagItUrl,
                                   &FavoritesUrl, &InterestsListUrl, &DropItUrl,   &NewInterestUrl};
    static constexpr std::string_view kKeys[] = {"HomepageUrl",  "SidebarUrl",       "InterestUrl", "TagItUrl",
                                                 "FavoritesUrl", "InterestsListUrl", "DropItUrl",   "NewInterestUrl"};
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if (key == kKeys[i]) {
            fields[i]->assign(value);
            return;
        }
    }
    if (key == "SidebarCheckOn")
        SidebarCheckOn = value == "on";
}

}  // namespace ovix
