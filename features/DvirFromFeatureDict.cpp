#include "features/DvirFromFeatureDict.h"

#include "features/Dvir.h"

namespace ovix {

std::vector<DocVecI> dvirFromFeatureDict(const FeatureDict& dict) {
    std::vector<DocVecI> entries;
    entries.reserve(static_cast<size_t>(dict.getUniqueFeatureCount()));
    for (const auto& [fid, count] : dict)
        entries.push_back({fid, static_cast<float>(count)});
    // The dictionary keeps memcmp order; a packed vector is in 64-bit order.
    dvirSortById(entries);
    return entries;
}

}  // namespace ovix
