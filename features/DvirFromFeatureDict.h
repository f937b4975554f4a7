#pragma once
// The packed vector of a feature dictionary.

#include <vector>

#include "features/FeatureDict.h"

namespace ovix {

// One entry per feature, its count as the weight, in packed-vector id order.
std::vector<DocVecI> dvirFromFeatureDict(const FeatureDict& dict);

}  // namespace ovix
