#include "compat/system/PrivateMemory.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "base/FileText.h"

namespace compat {

namespace {

// The kB figure of the line "NAME:   1234 kB", or empty.
std::optional<std::uint64_t> kilobytes(std::string_view status, std::string_view name) {
    for (std::size_t start = 0; start < status.size();) {
        std::size_t end = status.find('\n', start);
        if (end == std::string_view::npos)
            end = status.size();
        std::string_view line = status.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(name) || line.substr(name.size(), 1) != ":")
            continue;
        line.remove_prefix(name.size() + 1);
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        std::uint64_t value;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (error != std::errc() || std::string_view(rest, line.data() + line.size()) != " kB")
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PrivateMemory> privateMemoryFromStatus(std::string_view status) {
    const auto anonymous = kilobytes(status, "RssAnon");
    const auto swapped = kilobytes(status, "VmSwap");
    const auto peak = kilobytes(status, "VmHWM");
    if (!anonymous || !swapped || !peak)
        return std::nullopt;
    PrivateMemory memory;
    memory.nowBytes = (*anonymous + *swapped) * 1024;
    memory.peakBytes = std::max(*peak * 1024, memory.nowBytes);
    return memory;
}

std::optional<PrivateMemory> ownPrivateMemory() {
    const auto status = ovix::readFileText("/proc/self/status");
    return status ? privateMemoryFromStatus(*status) : std::nullopt;
}

}  // namespace compat
