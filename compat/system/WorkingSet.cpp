#include "compat/system/WorkingSet.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "base/FileText.h"

namespace compat {

std::optional<std::uint64_t> workingSetBytes() {
    const auto statm = ovix::readFileText("/proc/self/statm");
    const long pageSize = sysconf(_SC_PAGESIZE);
    std::uint64_t sizePages, residentPages;
    if (!statm || pageSize <= 0 || std::sscanf(statm->c_str(), "%" SCNu64 " %" SCNu64, &sizePages, &residentPages) != 2)
        return std::nullopt;
    return residentPages * static_cast<std::uint64_t>(pageSize);
}

}  // namespace compat
