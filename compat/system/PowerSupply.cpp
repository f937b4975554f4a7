#include "compat/system/PowerSupply.h"

#include <optional>
#include <string>
#include <system_error>

#include "base/FileText.h"

namespace compat {

namespace {

// A one-line attribute without its line end.
std::optional<std::string> attribute(const std::filesystem::path& supply, const char* name) {
    auto text = ovix::readFileText(supply / name);
    if (!text)
        return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == ' '))
        text->pop_back();
    return text;
}

}  // namespace

PowerSupplyState readPowerSupplies(const std::filesystem::path& folder) {
    PowerSupplyState state;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto supply = entry.path();
        const auto type = attribute(supply, "type");
        if (!type || attribute(supply, "scope") == "Device")
            continue;
        if (*type == "Mains" || *type == "USB") {
            state.listed = true;
            if (attribute(supply, "online") == "1")
                state.mainsOnline = true;
        } else if (*type == "Battery") {
            // Supplies without a "present" attribute are always fitted.
            state.listed = true;
            if (attribute(supply, "present").value_or("1") != "1")
                continue;
            state.batteryPresent = true;
            const auto level = attribute(supply, "capacity_level");
            if (level == "Low" || level == "Critical")
                state.batteryLow = true;
        }
    }
    return state;
}

}  // namespace compat
